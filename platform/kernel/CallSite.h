#pragma once

namespace kivo {

// The function that called into the layer, taken as a default argument at the call. The fuzz
// build's clang lacks std::source_location with this standard library, while both compilers know
// __builtin_FUNCTION, which a default argument evaluates in the caller.
struct CallSite {
    const char* function = "";

    static constexpr CallSite here(const char* caller = __builtin_FUNCTION()) { return CallSite { caller }; }
    const char* function_name() const { return function; }
};

} // namespace kivo
