#include "broadcast/MultiplexDescription.h"

namespace kivo {

std::unique_ptr<MultiplexSource> open_multiplex_description(const std::string& path, std::string& error)
{
    error = path + ": descriptions cannot be opened in this build";
    return nullptr;
}

} // namespace kivo
