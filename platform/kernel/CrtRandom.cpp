#include "CrtRandom.h"

#include "Process.h"

namespace {

struct Generator {
    unsigned int state = 1;
};

kivo::ProcessLocal<Generator> s_generator;

} // namespace

int kivo_rand()
{
    auto& generator = s_generator.get();
    generator.state = generator.state * 214013u + 2531011u;
    return static_cast<int>((generator.state >> 16) & 0x7FFF);
}

void kivo_srand(unsigned int seed)
{
    s_generator.get().state = seed;
}
