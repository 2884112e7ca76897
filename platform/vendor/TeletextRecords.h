#pragma once

// The records the teletext decoder hands its receive callback, one per teletext packet, valid
// during the call. Every record starts with the packet's magazine and packet number; the packet
// number says which record it is. The callback's code is the packet number too.

#include "kernel/Types.h"

#include <cstddef>

// The magazine as transmitted, 0 to 7 (magazine 8 comes as 0); the packet number Y, 0 to 31.
struct TeletextPacketAddress {
    DWORD magazine;
    DWORD packet;
};

// Control bit Cn of a page header is bit n of the control bits.
inline constexpr DWORD TELETEXT_ERASE_PAGE = 1u << 4;       // C4
inline constexpr DWORD TELETEXT_NEWSFLASH = 1u << 5;        // C5
inline constexpr DWORD TELETEXT_SUBTITLE = 1u << 6;         // C6
inline constexpr DWORD TELETEXT_SUPPRESS_HEADER = 1u << 7;  // C7
inline constexpr DWORD TELETEXT_UPDATE_PAGE = 1u << 8;      // C8
inline constexpr DWORD TELETEXT_INTERRUPTED = 1u << 9;      // C9
inline constexpr DWORD TELETEXT_INHIBIT_DISPLAY = 1u << 10; // C10
inline constexpr DWORD TELETEXT_MAGAZINE_SERIAL = 1u << 11; // C11
// C12 to C14, the national option character subset.
inline constexpr DWORD TELETEXT_NATIONAL_OPTION = 7u << 12;

// Packet 0, the page header.
struct TeletextHeaderPacket {
    DWORD magazine;
    DWORD packet;       // 0
    DWORD page_units;   // 0 to 15
    DWORD page_tens;    // 0 to 15
    DWORD subcode;      // S1 | S2 << 4 | S3 << 8 | S4 << 12
    DWORD control_bits; // C4 to C14
    // Columns 8 to 39 as received, each with its parity bit.
    BYTE text[32];
};

// Packets 1 to 25, the page's rows.
struct TeletextRowPacket {
    DWORD magazine;
    DWORD packet; // 1 to 25
    // Columns 0 to 39 as received, each with its parity bit.
    BYTE text[40];
};

struct TeletextTriplet {
    BYTE address; // 0 to 63: 0 to 39 a column, 40 to 63 a row
    BYTE mode;    // 0 to 31
    BYTE data;    // 0 to 127
};

// Packet 26, the page's enhancements.
struct TeletextEnhancementPacket {
    DWORD magazine;
    DWORD packet; // 26
    DWORD designation;
    TeletextTriplet triplets[13];
};

// Packet 8/30, the broadcast service data (both formats): the initial page to show.
struct TeletextServicePacket {
    DWORD magazine;    // 0 (magazine 8)
    DWORD packet;      // 30
    DWORD designation; // 0 to 3
    DWORD initial_page_units;
    DWORD initial_page_tens;
    DWORD initial_subcode;
    DWORD initial_magazine; // 0 to 7, as the magazine of a packet
};

static_assert(sizeof(TeletextPacketAddress) == 8);
static_assert(offsetof(TeletextHeaderPacket, page_units) == 8 && offsetof(TeletextHeaderPacket, page_tens) == 12);
static_assert(offsetof(TeletextHeaderPacket, control_bits) == 20 && offsetof(TeletextHeaderPacket, text) == 24);
static_assert(sizeof(TeletextHeaderPacket) == 56);
static_assert(offsetof(TeletextRowPacket, text) == 8 && sizeof(TeletextRowPacket) == 48);
static_assert(sizeof(TeletextTriplet) == 3);
static_assert(offsetof(TeletextEnhancementPacket, triplets) == 12 && sizeof(TeletextEnhancementPacket) == 52);
static_assert(offsetof(TeletextServicePacket, initial_page_units) == 12 && offsetof(TeletextServicePacket, initial_page_tens) == 16);
static_assert(offsetof(TeletextServicePacket, initial_magazine) == 24 && sizeof(TeletextServicePacket) == 28);
