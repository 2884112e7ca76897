# The simulated radio: the multiplexes on the air by frequency with their signal, kept in the device
# root, and the looped recordings. Descriptions are opened through the multiplex builder.
find_package(nlohmann_json REQUIRED)

# Where a fresh device's multiplexes come from: the descriptions in default/ and the elementary
# streams the build encodes.
set(KIVO_DEFAULT_DESCRIPTIONS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/default CACHE PATH "The default multiplexes' descriptions")
set(KIVO_DEFAULT_STREAMS_DIR ${CMAKE_BINARY_DIR}/default-streams CACHE PATH "The default multiplexes' elementary streams")

add_library(kivo_radio SHARED
    ChannelPlan.cpp
    DefaultMultiplexes.cpp
    Radio.cpp
    RadioFiles.cpp
    TsFileSource.cpp
)
target_compile_definitions(kivo_radio PRIVATE KIVO_DEFAULT_DESCRIPTIONS_DIR="${KIVO_DEFAULT_DESCRIPTIONS_DIR}"
    KIVO_DEFAULT_STREAMS_DIR="${KIVO_DEFAULT_STREAMS_DIR}")
target_link_libraries(kivo_radio PUBLIC kivo_kernel PRIVATE kivo_broadcast kivo_layer nlohmann_json::nlohmann_json)

add_subdirectory(testkit)
add_subdirectory(tests)
