#pragma once

// The codes of teletext packets: bytes come over the line least significant bit first, and the
// addresses, page numbers and control bits are protected by Hamming 8/4, the enhancement triplets
// by Hamming 24/18. Single-bit errors are corrected; what cannot be corrected is refused.

#include <cstdint>

namespace kivo {

// A byte with its bits in the opposite order (how the DVB carriage sends teletext bytes).
uint8_t reverse_bits(uint8_t);

// The four data bits D1 (bit 0) to D4 of a Hamming 8/4 byte, or -1 when it holds two errors.
int decode_hamming_8_4(uint8_t);
// The Hamming 8/4 byte of four data bits.
uint8_t encode_hamming_8_4(unsigned data);

// The 18 data bits D1 (bit 0) to D18 of a Hamming 24/18 triplet (three bytes, first byte lowest),
// or -1 when it holds errors that cannot be corrected.
int32_t decode_hamming_24_18(const uint8_t triplet[3]);

} // namespace kivo
