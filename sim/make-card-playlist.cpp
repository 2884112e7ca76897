// Makes the audio player's play list of a fresh simulated card: its bookmark "bmkAud.rom" and list
// "listAud.lst" in FOLDER (which stands for the card's root), holding the songs given, in order,
// as paths under the card. They are the player's own records in its parameter files, so that a
// newcomer's first start finds the songs listed and the first one current, stopped at its start.
// As the player's writer leaves them, they are hidden, and the attribute goes where the device's
// volumes keep it on this machine.
//
// usage: make-card-playlist FOLDER SONG...   (SONG as "Music/tone.mp3")

#include "AttributeStore.h"
#include "AudioBookmark.h"
#include "CParmFileRW.h"
#include "ParmFileHeader.h"
#include "WideText.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace {

// Header and record to a temporary file beside the target, each write and the close checked, then
// renamed into place: a failure leaves the old file. (A host file: the device's own calls would
// look for it on a device.)
bool write_parameter_file(const std::filesystem::path& target, std::span<const uint8_t> record)
{
    ParmFileHeader header {};
    header.chkSum = CParmFileRW::CheckSum(record.data(), static_cast<int>(record.size()));
    header.dateBytes = static_cast<int32_t>(record.size());
    auto temporary = target;
    temporary += ".new";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    out.close();
    std::error_code renamed;
    if (out)
        std::filesystem::rename(temporary, target, renamed);
    if (!out || renamed) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        std::fprintf(stderr, "make-card-playlist: cannot write %s%s%s\n", target.c_str(), renamed ? ": " : "",
            renamed ? renamed.message().c_str() : "");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make-card-playlist FOLDER SONG...\n");
        return 2;
    }
    std::filesystem::path card = argv[1];
    std::vector<std::u16string> songs;
    for (int i = 2; i < argc; ++i) {
        std::u16string path = u"\\SDMMC\\" + kivo::to_utf16(argv[i]);
        for (auto& unit : path) {
            if (unit == u'/')
                unit = u'\\';
        }
        if (path.size() > max_path_units) {
            std::fprintf(stderr, "make-card-playlist: %s is too long for a list slot\n", argv[i]);
            return 1;
        }
        songs.push_back(path);
    }
    if (songs.size() > static_cast<size_t>(max_list_entries)) {
        std::fprintf(stderr, "make-card-playlist: more than %d songs\n", max_list_entries);
        return 1;
    }

    // The first start of a new device: the first song current, stopped at its start, the
    // player's default settings.
    AudioBookmark bookmark;
    bookmark.list_count = static_cast<int32_t>(songs.size());
    bookmark.list_bytes = bookmark.list_count * static_cast<int32_t>(list_slot_bytes);
    bookmark.current_path = songs.front();
    auto record = encode_bookmark(bookmark);
    auto slots = encode_list(songs);

    std::error_code made;
    std::filesystem::create_directories(card, made);
    const auto bookmark_file = card / "bmkAud.rom";
    const auto list_file = card / "listAud.lst";
    if (!write_parameter_file(bookmark_file, record) || !write_parameter_file(list_file, slots))
        return 1;

    // The attributes the player's writer gives: those of a newly written file, and hidden.
    kivo::AttributeStore attributes;
    for (const auto& file : { bookmark_file, list_file }) {
        if (DWORD failure = attributes.set(file, { FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, 0 })) {
            std::fprintf(stderr, "make-card-playlist: cannot hide %s (error %u)\n", file.c_str(), static_cast<unsigned>(failure));
            return 1;
        }
    }
    attributes.flush();
    return 0;
}
