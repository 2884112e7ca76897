// The bookmark and list files: their bytes, and what the player makes of damaged ones.

#include "MelodoTest.h"

namespace kivo::test {
namespace {

} // namespace
} // namespace kivo::test
