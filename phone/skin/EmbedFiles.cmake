# Writes a C++ source holding the bytes of text files, so the install step needs no source tree.
# -DOUTPUT=<file.cpp> -DFILES=<device path>=<source file>;... (device paths with '/' for '\').
set(arrays "")
set(entries "")
set(index 0)
foreach(pair IN LISTS FILES)
    string(REPLACE "=" ";" parts "${pair}")
    list(GET parts 0 device_path)
    list(GET parts 1 source)
    file(READ "${source}" bytes HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
    string(APPEND arrays "constexpr unsigned char file_${index}[] = { ${bytes} };\n")
    string(REPLACE "/" "\\\\" device_path "${device_path}")
    string(APPEND entries "        { u\"${device_path}\", { reinterpret_cast<const char*>(file_${index}), sizeof(file_${index}) } },\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
    "// Made at build time from the phone link's skin and language sources.\n"
    "#include \"PhoneSkinTree.h\"\n\n"
    "namespace {\n${arrays}} // namespace\n\n"
    "const std::vector<kivo::PhoneTreeText>& kivo::phone_tree_texts()\n{\n"
    "    static const std::vector<PhoneTreeText> texts = {\n${entries}    };\n    return texts;\n}\n")
# Only a changed source touches the output, so nothing rebuilds for nothing.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
