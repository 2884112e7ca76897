#include "RuntimeRandom.h"

#include "program_services.h"

namespace {

kivo::ProcessLocal<RuntimeRandom> s_random;

} // namespace

int RuntimeRandom::next()
{
    // The device run-time's linear congruential generator.
    auto& random = s_random.get();
    random.m_state = random.m_state * 214013u + 2531011u;
    return static_cast<int>((random.m_state >> 16) & 0x7FFF);
}
