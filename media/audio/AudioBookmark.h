#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The audio player's state of play on the card: the bookmark record of "\SDMMC\bmkAud.rom" (544
// bytes after the parameter-file header) and the slots of "\SDMMC\listAud.lst", one 512-byte slot
// per list entry. Both are read back checked: the program trusts nothing it finds on a card.

inline constexpr int max_list_entries = 999;
inline constexpr int default_volume = 12;
inline constexpr size_t bookmark_bytes = 544;
inline constexpr size_t list_slot_bytes = 512;
// A path fills at most this many UTF-16 units, so that every slot and the record's path field
// end in a zero unit.
inline constexpr size_t max_path_units = 255;

struct AudioBookmark {
    int32_t seek_pos = 0; // per mille
    int32_t play_mode = 0;
    int32_t eq_preset = 0;
    int32_t list_count = 0;
    int32_t volume = default_volume;
    int32_t exit_state = 0; // the player's FILTER_STATE at exit
    int32_t list_bytes = 0;
    uint8_t surround = 0;
    std::u16string current_path; // written only with a list

    bool operator==(const AudioBookmark&) const = default;
};

std::array<uint8_t, bookmark_bytes> encode_bookmark(const AudioBookmark&);
// The record as stored, each field that is out of range replaced by its default; a list count
// above 999, or list bytes other than count x 512, leave no list (count and bytes 0).
AudioBookmark decode_bookmark(std::span<const uint8_t, bookmark_bytes>);

std::vector<uint8_t> encode_list(const std::vector<std::u16string>& paths);
// The paths of `count` slots, each ending at its first zero unit or at the path limit.
std::vector<std::u16string> decode_list(std::span<const uint8_t> slots, int count);
