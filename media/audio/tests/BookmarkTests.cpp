// The bookmark and list files: their bytes, resuming from them, and what the player makes of
// damaged ones.

#include "MelodoTest.h"

#include <fstream>
#include <functional>

namespace kivo::test {
namespace {

using MelodoBookmark = MelodoTest;

std::string le32(uint32_t v)
{
    return { char(v), char(v >> 8), char(v >> 16), char(v >> 24) };
}

std::string utf16(std::u16string_view text)
{
    std::string bytes;
    for (char16_t unit : text)
        bytes += { char(unit), char(unit >> 8) };
    return bytes;
}

// A parameter file by hand: checksum of the data's bytes taken as signed, data length, 8 zeros.
std::string parm_file(const std::string& data)
{
    int32_t sum = 0;
    for (char byte : data)
        sum += static_cast<int8_t>(byte);
    return le32(static_cast<uint32_t>(sum)) + le32(static_cast<uint32_t>(data.size())) + std::string(8, '\0') + data;
}

std::string slot(std::u16string_view path)
{
    std::string bytes = utf16(path);
    bytes.resize(512, '\0');
    return bytes;
}

std::string file_bytes(std::u16string_view path)
{
    return read_device_file(path).value_or("(missing)");
}

TEST_F(MelodoBookmark, ExitWritesTheStateAndListAsTheFilesLayThemOutAndTheNextStartResumes)
{
    write_list({ "one", "two", "three" }, 2);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_next);
    tap(*dialog, CMelodoDlg::btn_volume_up);
    tap(*dialog, CMelodoDlg::btn_volume_up);
    pass(2300);
    int seek = dialog->m_Slider.GetPos();
    ASSERT_EQ(seek, 400);
    close_by(APP_CLOSE);

    std::string record = le32(400) + le32(2) + le32(0) + le32(3) + le32(14) + le32(State_Running) + le32(3 * 512)
        + std::string(1, '\0') + std::string(1, '\0') + utf16(u"\\SDMMC\\Music\\two.mp3");
    record.resize(544, '\0');
    EXPECT_EQ(file_bytes(bookmark_path), parm_file(record));
    EXPECT_EQ(file_bytes(list_path),
        parm_file(slot(u"\\SDMMC\\Music\\one.mp3") + slot(u"\\SDMMC\\Music\\two.mp3") + slot(u"\\SDMMC\\Music\\three.mp3")));

    dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(state(*dialog), State_Running) << "it ran at exit, so it plays on";
    EXPECT_EQ(current_song(*dialog), 2);
    EXPECT_EQ(dialog->m_nSeekPos, 400);
    EXPECT_EQ(dialog->m_nVolume, 14);
    EXPECT_EQ(dialog->m_nPlayMode, 2);
    EXPECT_FALSE(backlight().backlight_off_allowed);
    pass(1000);
    EXPECT_GE(dialog->m_Slider.GetPos(), 600) << "from 2 s of 5 on";
}

TEST_F(MelodoBookmark, AnExitWhilePausedLoadsTheSongAtItsPlaceWithoutPlaying)
{
    write_list({ "one", "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_next);
    pass(3300);
    tap(*dialog, CMelodoDlg::btn_play);
    ASSERT_EQ(state(*dialog), State_Paused);
    close_by(APP_CLOSE);

    dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(state(*dialog), State_Running);
    EXPECT_EQ(current_song(*dialog), 2);
    EXPECT_EQ(dialog->m_nSeekPos, 500);
    EXPECT_TRUE(backlight().backlight_off_allowed);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(1000);
    EXPECT_EQ(state(*dialog), State_Running);
    EXPECT_GE(dialog->m_Slider.GetPos(), 600);
}

TEST_F(MelodoBookmark, ASavedSongThatVanishedGivesTheFirstFromItsStart)
{
    AudioBookmark saved;
    saved.seek_pos = 500;
    saved.current_path = song_path("gone");
    write_state({ "one", "two" }, saved);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(current_song(*dialog), 1);
    EXPECT_EQ(dialog->m_nSeekPos, 0);
    EXPECT_EQ(last_position(), u"1/2");
}

TEST_F(MelodoBookmark, DamagedOrOutOfRangeFilesGiveTheDefaults)
{
    struct Case {
        const char* name;
        std::function<void(MelodoTest&)> damage;
        int volume;
        bool list;
    };
    auto valid = [](MelodoTest& test, AudioBookmark bookmark) {
        bookmark.current_path = song_path("one");
        test.write_state({ "one", "two", "three" }, bookmark);
    };
    // Rewrites the bookmark with a field changed (a proper file around a bad value).
    auto field = [valid](size_t offset, uint32_t value) {
        return [=](MelodoTest& test) {
            AudioBookmark bookmark;
            bookmark.volume = 7;
            valid(test, bookmark);
            auto record = read_device_file(bookmark_path).value().substr(16);
            record.replace(offset, 4, le32(value));
            ASSERT_EQ(write_device_file(bookmark_path, parm_file(record)), 0u);
        };
    };
    const Case cases[] = {
        { "no files", [](MelodoTest&) {}, 12, false },
        { "wrong checksum", [valid](MelodoTest& test) {
             valid(test, {});
             auto bytes = read_device_file(bookmark_path).value();
             bytes[40] ^= 0x20;
             ASSERT_EQ(write_device_file(bookmark_path, bytes), 0u);
         },
            12, false },
        { "bookmark of another size", [](MelodoTest&) {
             ASSERT_EQ(write_device_file(bookmark_path, parm_file(std::string(543, '\0'))), 0u);
         },
            12, false },
        { "1000 songs, one more than the order holds", [](MelodoTest& test) {
             // Real files, so that every entry would pass the check that the song still exists.
             auto folder = host_path_in(test.device->root(), u"\\SDMMC\\Many");
             std::filesystem::create_directories(folder);
             std::vector<std::u16string> paths;
             for (int i = 0; i < 1000; ++i) {
                 std::string name = std::to_string(i) + ".mp3";
                 std::ofstream(folder / name) << "x";
                 paths.push_back(u"\\SDMMC\\Many\\" + std::u16string(name.begin(), name.end()));
             }
             AudioBookmark bookmark;
             bookmark.volume = 7;
             bookmark.list_count = 1000;
             bookmark.list_bytes = 1000 * 512;
             bookmark.current_path = paths[0];
             auto record = encode_bookmark(bookmark);
             auto slots = encode_list(paths);
             ASSERT_EQ(write_device_file(bookmark_path, parm_file(std::string(record.begin(), record.end()))), 0u);
             ASSERT_EQ(write_device_file(list_path, parm_file(std::string(slots.begin(), slots.end()))), 0u);
         },
            7, false },
        { "list bytes not count x 512", field(24, 1000), 7, false },
        { "list file missing", [valid](MelodoTest& test) {
             AudioBookmark bookmark;
             bookmark.volume = 7;
             valid(test, bookmark);
             DeleteFile(list_path);
         },
            7, false },
        { "volume 99", field(16, 99), 12, true },
        { "mode, preset, exit state and surround out of range", [valid](MelodoTest& test) {
             AudioBookmark bookmark;
             bookmark.play_mode = 9;
             bookmark.eq_preset = 5;
             bookmark.volume = 7;
             bookmark.exit_state = 3;
             bookmark.surround = 2;
             valid(test, bookmark);
         },
            7, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        c.damage(*this);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->m_nVolume, c.volume);
        EXPECT_EQ(dialog->m_nPlayMode, 0);
        EXPECT_EQ(dialog->m_nEqPreset, 0);
        EXPECT_EQ(dialog->m_bSurround, 0);
        EXPECT_NE(state(*dialog), State_Running);
        EXPECT_EQ(dialog->m_PlayList.GetSize(), c.list ? 3 : 0);
        EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_play].m_bEnabled, c.list ? 1 : 0);
    }
}

TEST_F(MelodoBookmark, PathsAreBoundedByTheirSlotAndField)
{
    std::string full_slot;
    for (int i = 0; i < 256; ++i)
        full_slot += { 'a', '\0' };
    auto paths = decode_list(std::span(reinterpret_cast<const uint8_t*>(full_slot.data()), full_slot.size()), 1);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], std::u16string(255, u'a'));
    EXPECT_TRUE(decode_list(std::span(reinterpret_cast<const uint8_t*>(full_slot.data()), full_slot.size()), 2).size() == 1)
        << "a count beyond the bytes reads no further";

    AudioBookmark bookmark;
    bookmark.list_count = 1;
    bookmark.list_bytes = 512;
    bookmark.current_path = std::u16string(300, u'b');
    auto record = encode_bookmark(bookmark);
    std::fill(record.begin() + 30, record.end(), uint8_t { 'c' });
    EXPECT_EQ(decode_bookmark(record).current_path.size(), 255u);
}

TEST_F(MelodoBookmark, NothingIsWrittenWhenTheCardIsOutProtectedOrFull)
{
    struct Case {
        const char* name;
        std::function<void(Volumes&)> trouble;
    };
    const Case cases[] = {
        { "out", [](Volumes& volumes) { volumes.set_card_present(false); } },
        { "write-protected", [](Volumes& volumes) { volumes.set_card_write_protected(true); } },
        { "full", [](Volumes& volumes) { volumes.set_free_bytes(VolumeId::Card, 100); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_list({ "one", "two" });
        std::string old_bookmark = file_bytes(bookmark_path);
        std::string old_list = file_bytes(list_path);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        tap(*dialog, CMelodoDlg::btn_volume_up);
        tap(*dialog, CMelodoDlg::btn_next);
        auto& volumes = device->component<Volumes>();
        c.trouble(volumes);
        close_by(APP_CLOSE);
        volumes.set_card_present(true);
        volumes.set_card_write_protected(false);
        EXPECT_EQ(file_bytes(bookmark_path), old_bookmark);
        EXPECT_EQ(file_bytes(list_path), old_list);
    }
}

} // namespace
} // namespace kivo::test
