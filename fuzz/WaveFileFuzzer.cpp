// A sound file comes from the card or the flash disk: any bytes must parse without reading past
// them, and what a header says must stay inside the file.

#include "WaveFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto wave = kivo::WaveFile::parse(std::span(data, size));
    if (wave && (wave->data_offset > size || wave->data_size > size - wave->data_offset || wave->bytes_per_second == 0))
        std::abort();
    if (wave)
        (void)wave->duration_ms();
    return 0;
}
