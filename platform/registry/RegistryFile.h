#pragma once

#include "RegistryNode.h"

#include <string>
#include <string_view>

namespace kivo {

// The registry's file: REGEDIT4-style UTF-8 text that a person can read and edit. Each key is a
// section "[HKEY_LOCAL_MACHINE\Software\...]"; values follow as "name"="text" (REG_SZ),
// "name"=dword:0000000a (REG_DWORD), "name"=hex:01,02 (REG_BINARY) or "name"=hex(7):...
// (any other type, the bytes as stored); "@" names the unnamed value.
class RegistryFile {
public:
    struct Roots {
        RegistryNode& classes_root;
        RegistryNode& current_user;
        RegistryNode& local_machine;
    };

    static std::string write(const Roots&);

    // Adds what the text holds to the tree. The text comes from outside: whatever it holds, it
    // loads the lines it can understand and skips the rest. Answers how many lines it skipped.
    static size_t read(std::string_view text, const Roots&);
};

} // namespace kivo
