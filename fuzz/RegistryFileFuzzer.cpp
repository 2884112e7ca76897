// The registry file is edited by people and read at every start: any text must load without harm,
// and what was loaded must write out to a file that loads back to the very same tree.

#include "RegistryFile.h"
#include "WideText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

std::string load_and_write(std::string_view text, size_t& skipped)
{
    kivo::RegistryNode classes_root(u"HKEY_CLASSES_ROOT");
    kivo::RegistryNode current_user(u"HKEY_CURRENT_USER");
    kivo::RegistryNode local_machine(u"HKEY_LOCAL_MACHINE");
    kivo::RegistryFile::Roots roots { classes_root, current_user, local_machine };
    skipped = kivo::RegistryFile::read(text, roots);
    return kivo::RegistryFile::write(roots);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t skipped = 0;
    std::string written = load_and_write(std::string_view(reinterpret_cast<const char*>(data), size), skipped);
    std::string again = load_and_write(written, skipped);
    if (skipped != 0 || again != written || !kivo::is_utf8(written))
        std::abort();
    return 0;
}
