// The play list editor and the card's file browser as the list button opens them: reading the
// card again, adding songs and folders, deleting, sorting, choosing a song, the card's warnings,
// and the notify codes that close the program from inside any of the dialogs.

#include "MelodoTest.h"

#include "CAddFileDlg.h"
#include "CAppUtil.h"
#include "CAudListDlg.h"
#include "CMsgDlg.h"
#include "Colour.h"

#include <cstdio>
#include <functional>
#include <cstring>
#include <fstream>

namespace kivo::test {
namespace {

constexpr const char16_t* music = u"\\SDMMC\\Music\\";

class PlayList : public MelodoTest {
public:
    // The dialog at the top of the screen (each of the player's dialogs fills it), as its object.
    template <typename Dialog>
    Dialog* top()
    {
        HWND window = WindowFromPoint({ 479, 0 });
        auto process = device->find_process(melodo_image_path);
        if (!window || !process)
            return nullptr;
        Dialog* dialog = nullptr;
        device->create_thread(*process, [&] {
            dialog = dynamic_cast<Dialog*>(device->component<HandleMaps>().window(window, true));
            return DWORD { 0 };
        });
        device->run_until_idle();
        return dialog;
    }

    CAudListDlg* open_editor(CMelodoDlg& dialog)
    {
        tap(dialog, CMelodoDlg::btn_list);
        return top<CAudListDlg>();
    }
    CAddFileDlg* open_browser(CAudListDlg& editor)
    {
        tap_control(editor, IDC_ADD_ONE);
        return top<CAddFileDlg>();
    }

    void tap_control(CWnd& dialog, UINT id)
    {
        RECT rect {};
        ::GetWindowRect(::GetDlgItem(dialog.m_hWnd, static_cast<int>(id)), &rect);
        tap((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }
    void tap_row(CListCtrl& list, int row, bool twice = false)
    {
        CRect item;
        list.GetItemRect(row, &item, LVIR_BOUNDS);
        CRect window;
        list.GetWindowRect(&window);
        int x = window.left + 60;
        int y = window.top + item.CenterPoint().y;
        tap(x, y);
        if (twice)
            tap(x, y);
    }
    void tap_header(CListCtrl& list, int column)
    {
        CRect window;
        list.GetWindowRect(&window);
        tap(window.left + 100 + 200 * column, window.top + 8);
    }
    // The message box on top: its mode, then answered with "OK" (confirm) or "X".
    int answer_message(bool confirm)
    {
        CMsgDlg* box = top<CMsgDlg>();
        if (!box)
            return -1;
        int mode = box->m_nMode;
        tap_control(*box, confirm ? IDC_OK : IDC_CLOSE_X);
        return mode;
    }

    static std::vector<std::u16string> rows(CListCtrl& list)
    {
        std::vector<std::u16string> paths;
        for (int row = 0; row < list.GetItemCount(); ++row)
            paths.push_back((list.GetItemText(row, 1) + list.GetItemText(row, 0)).str());
        return paths;
    }
    static std::vector<std::u16string> entries(const CStringArray& list)
    {
        std::vector<std::u16string> paths;
        for (INT_PTR i = 0; i < list.GetSize(); ++i)
            paths.push_back(list[i].str());
        return paths;
    }
    static int selected(CListCtrl& list) { return list.GetNextItem(-1, LVNI_SELECTED); }
    static std::u16string current_path(CMelodoDlg& dialog) { return dialog.m_AudioInfo.path; }

    // A file of a few bytes: the listings go by the name only.
    void put_file(std::u16string_view path)
    {
        auto host = host_path_in(device->root(), path);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host) << "tiny";
    }
    // A list of any paths, the first real song current.
    void write_paths(const std::vector<std::u16string>& paths)
    {
        AudioBookmark bookmark;
        bookmark.list_count = static_cast<int32_t>(paths.size());
        bookmark.list_bytes = bookmark.list_count * 512;
        bookmark.current_path = paths.front();
        auto record = encode_bookmark(bookmark);
        auto slots = encode_list(paths);
        CParmFileRW file;
        ASSERT_EQ(file.Write(bookmark_path, record.data(), static_cast<int>(record.size())), 0);
        ASSERT_EQ(file.Write(list_path, slots.data(), static_cast<int>(slots.size())), 0);
    }
};

std::u16string in_music(std::u16string_view name)
{
    return std::u16string(music) + std::u16string(name);
}

// Song files enough to fill the list: "\SDMMC\Many\s000.mp3" on.
void put_many(PlayList& test, int count)
{
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "s%03d.mp3", i);
        test.put_file(u"\\SDMMC\\Many\\" + std::u16string(name, name + std::strlen(name)));
    }
}

TEST_F(PlayList, ReadingTheCardAgainTakesEveryMp3AndWmaOnceConfirmed)
{
    write_list({ "one", "two" });
    put_file(u"\\SDMMC\\Old\\Deep\\b.WMA");
    put_file(u"\\SDMMC\\Old\\a.mp3");
    put_file(u"\\SDMMC\\Old\\notes.txt");
    put_file(u"\\SDMMC\\Old\\voice.wav");
    put_file(u"\\SDMMC\\.hidden\\c.mp3");
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(rows(editor->m_List), entries(dialog->m_PlayList));

    tap_control(*editor, IDC_RELOAD_ALL);
    EXPECT_EQ(answer_message(false), CMsgDlg::mode_reload_card);
    EXPECT_EQ(rows(editor->m_List).size(), 2u) << "dismissed: nothing changes";
    EXPECT_EQ(dialog->m_PlayList.GetSize(), 2);

    tap_control(*editor, IDC_RELOAD_ALL);
    EXPECT_EQ(answer_message(true), CMsgDlg::mode_reload_card);
    std::vector<std::u16string> found = rows(editor->m_List);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::u16string> { in_music(u"one.mp3"), in_music(u"two.mp3"), u"\\SDMMC\\Old\\Deep\\b.WMA", u"\\SDMMC\\Old\\a.mp3" }))
        << "every song of the card, without other files or hidden folders";
    EXPECT_EQ(rows(editor->m_List), entries(dialog->m_PlayList)) << "the play list changes at once";
    EXPECT_EQ(editor->m_nCount, 4);
    EXPECT_EQ(selected(editor->m_List), 0);
    EXPECT_EQ(editor->m_strKeepPath.str(), rows(editor->m_List)[0]);
}

TEST_F(PlayList, APlayerWithoutAListPlaysOnceTheCardWasRead)
{
    add_song("one");
    add_song("two");
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->m_Buttons[CMelodoDlg::btn_play].m_bEnabled, 0);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(selected(editor->m_List), -1);
    tap_control(*editor, IDC_RELOAD_ALL);
    EXPECT_EQ(answer_message(true), CMsgDlg::mode_reload_card);
    tap_control(*editor, IDC_CLOSE_X);
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_play].m_bEnabled, 1);
    EXPECT_TRUE(dialog->m_Slider.IsWindowEnabled());
    tap(*dialog, CMelodoDlg::btn_play);
    pass(1000);
    EXPECT_EQ(state(*dialog), State_Running);
    EXPECT_EQ(current_path(*dialog), song_path("one"));
    EXPECT_EQ(last_position(), u"1/2");
}

TEST_F(PlayList, ReadingACardOfMoreThan999SongsKeepsTheFirst999AndSaysSo)
{
    add_song("one");
    put_many(*this, 1003);
    write_paths({ song_path("one") });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    tap_control(*editor, IDC_RELOAD_ALL);
    EXPECT_EQ(answer_message(true), CMsgDlg::mode_reload_card);
    EXPECT_EQ(answer_message(false), CMsgDlg::mode_list_full);
    EXPECT_EQ(editor->m_nCount, 999);
    EXPECT_EQ(editor->m_List.GetItemCount(), 999);
    ASSERT_EQ(dialog->m_PlayList.GetSize(), 999);
    CStringArray all;
    LPCWSTR extensions[] = { u"WMA", u"MP3" };
    CAppUtil().SearchFiles(u"\\SDMMC", all, extensions, 2);
    ASSERT_EQ(all.GetSize(), 1004);
    EXPECT_EQ(dialog->m_PlayList[998], all[998]) << "the first found are kept";

    // A full list takes nothing more.
    tap_control(*editor, IDC_ADD_ONE);
    EXPECT_EQ(answer_message(false), CMsgDlg::mode_list_full);
    EXPECT_EQ(top<CAudListDlg>(), editor);
}

TEST_F(PlayList, TheBrowserAddsSongsAndFoldersAndGoesUp)
{
    write_list({ "one" });
    add_song("two");
    add_song("three");
    put_file(u"\\SDMMC\\Music\\Live\\encore.mp3");
    put_file(u"\\SDMMC\\Music\\readme.txt");
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    CAddFileDlg* browser = open_browser(*editor);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->m_strFolder.str(), u"\\SDMMC\\");
    EXPECT_EQ(browser->m_strFolderName.str(), u"\\");
    EXPECT_EQ(entries(browser->m_Entries), (std::vector<std::u16string> { u"<Music>" }));

    tap_row(browser->m_List, 0, true);
    EXPECT_EQ(browser->m_strFolder.str(), u"\\SDMMC\\Music\\");
    EXPECT_TRUE(wrote(u"Music"));
    EXPECT_EQ(entries(browser->m_Entries),
        (std::vector<std::u16string> { u"<..>", u"<Live>", u"one.mp3", u"three.mp3", u"two.mp3" }));
    EXPECT_EQ(browser->m_List.GetItemText(1, 0), u"Live") << "folders without their brackets";

    // A file, then a folder's files; the browser stays open.
    tap_row(browser->m_List, 3);
    review_screenshot(*device, "melodo-browser-in-folder");
    tap_control(*browser, IDC_SELECT);
    tap_row(browser->m_List, 1);
    tap_control(*browser, IDC_SELECT);
    tap_row(browser->m_List, 0);
    tap_control(*browser, IDC_SELECT);
    EXPECT_EQ(browser->m_strFolder.str(), u"\\SDMMC\\Music\\") << "\"..\" is not chosen";
    EXPECT_EQ(top<CAddFileDlg>(), browser);
    tap_row(browser->m_List, 0, true);
    EXPECT_EQ(browser->m_strFolder.str(), u"\\SDMMC\\");
    EXPECT_TRUE(wrote(u"\\"));
    EXPECT_EQ(rows(editor->m_List),
        (std::vector<std::u16string> { in_music(u"one.mp3"), in_music(u"three.mp3"), u"\\SDMMC\\Music\\Live\\encore.mp3" }));
    EXPECT_EQ(editor->m_nCount, 3);

    tap_control(*browser, IDC_CLOSE_X);
    ASSERT_EQ(top<CAudListDlg>(), editor);
    EXPECT_EQ(selected(editor->m_List), 1) << "the first added row";
    EXPECT_EQ(editor->m_strKeepPath.str(), in_music(u"three.mp3"));
    EXPECT_EQ(dialog->m_PlayList.GetSize(), 1) << "rows reach the play list when the editor closes";
    tap_control(*editor, IDC_CLOSE_X);
    EXPECT_EQ(top<CMelodoDlg>(), dialog);
    EXPECT_EQ(entries(dialog->m_PlayList),
        (std::vector<std::u16string> { in_music(u"one.mp3"), in_music(u"three.mp3"), u"\\SDMMC\\Music\\Live\\encore.mp3" }));
    EXPECT_EQ(current_path(*dialog), in_music(u"three.mp3")) << "the main screen goes on with the first added";
}

TEST_F(PlayList, AFileWhosePathIsTooLongForTheListFileIsNotAdded)
{
    write_list({ "one" });
    const std::u16string folder = u"\\SDMMC\\" + std::u16string(40, u'a') + u"\\" + std::u16string(40, u'b') + u"\\";
    const std::u16string fits = std::u16string(255 - folder.size() - 4, u'f') + u".mp3";
    const std::u16string too_long = std::u16string(256 - folder.size() - 4, u'g') + u".mp3";
    put_file(folder + fits);
    put_file(folder + too_long);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    CAddFileDlg* browser = open_browser(*editor);
    ASSERT_NE(browser, nullptr);
    tap_row(browser->m_List, 0, true);
    tap_row(browser->m_List, 1, true);
    ASSERT_EQ(browser->m_strFolder.str(), folder);
    ASSERT_EQ(entries(browser->m_Entries), (std::vector<std::u16string> { u"<..>", fits, too_long }));
    for (int row : { 1, 2 }) {
        tap_row(browser->m_List, row);
        tap_control(*browser, IDC_SELECT);
    }
    EXPECT_EQ(rows(editor->m_List), (std::vector<std::u16string> { song_path("one"), folder + fits }))
        << "255 units fit a slot with its terminating zero, 256 do not";
}

TEST_F(PlayList, AFolderWithMoreSongsThanPlacesLeftFillsTheListToTheLimit)
{
    add_song("one");
    add_song("two");
    add_song("three");
    put_many(*this, 995);
    write_paths({ song_path("one") });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    tap_control(*editor, IDC_RELOAD_ALL);
    EXPECT_EQ(answer_message(true), CMsgDlg::mode_reload_card);
    ASSERT_EQ(editor->m_nCount, 998);
    CAddFileDlg* browser = open_browser(*editor);
    ASSERT_NE(browser, nullptr);
    ASSERT_EQ(entries(browser->m_Entries), (std::vector<std::u16string> { u"<Many>", u"<Music>" }));
    tap_row(browser->m_List, 1);
    tap_control(*browser, IDC_SELECT);
    EXPECT_EQ(answer_message(false), CMsgDlg::mode_list_full);
    EXPECT_EQ(editor->m_nCount, 999);
    EXPECT_EQ(rows(editor->m_List).back(), in_music(u"one.mp3")) << "the folder's first song took the last place";
    // A single file meets the same limit.
    tap_row(browser->m_List, 1, true);
    tap_row(browser->m_List, 3);
    tap_control(*browser, IDC_SELECT);
    EXPECT_EQ(answer_message(false), CMsgDlg::mode_list_full);
    EXPECT_EQ(editor->m_List.GetItemCount(), 999);
}

TEST_F(PlayList, ABrowserClosedWithoutAddingLeavesTheSongThatPlays)
{
    write_list({ "one", "two", "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_next);
    pass(1000);
    ASSERT_EQ(state(*dialog), State_Running);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(state(*dialog), State_Paused) << "the song waits while the list is edited";
    EXPECT_EQ(selected(editor->m_List), 1);
    CAddFileDlg* browser = open_browser(*editor);
    ASSERT_NE(browser, nullptr);
    tap_control(*browser, IDC_CLOSE_X);
    EXPECT_EQ(selected(editor->m_List), 1);
    EXPECT_EQ(*editor->m_pListChanged, 0);
    tap_control(*editor, IDC_CLOSE_X);
    EXPECT_EQ(state(*dialog), State_Running) << "the same song plays on";
    EXPECT_EQ(current_path(*dialog), song_path("two"));
    EXPECT_GE(dialog->m_nSeekPos, 100);
}

TEST_F(PlayList, DeletingARowKeepsTheIndexOnTheSongItNamed)
{
    struct Case {
        int current;
        int deleted;
        int current_after;
        int selected_after;
        const char* playing_after; // the song the main screen has after "X"
        int song_after; // its list number
    } cases[] = {
        { 0, 0, 0, 0, "two", 1 }, // the first row deleted while current: the next one follows
        { 2, 2, 1, 1, "one", 1 }, // the current row deleted: the list goes on from its first song
        { 2, 0, 1, 0, "three", 2 }, // a row before the current one: the index follows its song
        { 0, 2, 0, 1, "one", 1 }, // the last row: the new last one is selected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deleted);
        start_over();
        write_list({ "one", "two", "three" });
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < c.current; ++i)
            tap(*dialog, CMelodoDlg::btn_next);
        CAudListDlg* editor = open_editor(*dialog);
        ASSERT_NE(editor, nullptr);
        tap_row(editor->m_List, c.deleted);
        tap_control(*editor, IDC_DELETE_ONE);
        EXPECT_EQ(*editor->m_pCurIndex, c.current_after);
        EXPECT_EQ(*editor->m_pListChanged, c.current == c.deleted ? 1 : 0);
        EXPECT_EQ(selected(editor->m_List), c.selected_after);
        EXPECT_EQ(editor->m_nCount, 2);
        tap_control(*editor, IDC_CLOSE_X);
        EXPECT_EQ(dialog->m_PlayList.GetSize(), 2);
        EXPECT_EQ(current_path(*dialog), song_path(c.playing_after));
        EXPECT_EQ(current_song(*dialog), c.song_after);
    }
}

TEST_F(PlayList, DeletingEverythingEmptiesTheListAndStopsThePlayer)
{
    write_list({ "one", "two" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(500);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    tap_control(*editor, IDC_DELETE_ALL);
    EXPECT_EQ(answer_message(false), CMsgDlg::mode_delete_list);
    EXPECT_EQ(editor->m_nCount, 2);
    tap_control(*editor, IDC_DELETE_ALL);
    EXPECT_EQ(answer_message(true), CMsgDlg::mode_delete_list);
    EXPECT_EQ(editor->m_List.GetItemCount(), 0);
    EXPECT_EQ(dialog->m_PlayList.GetSize(), 0) << "at once";
    EXPECT_EQ(*editor->m_pListChanged, 1);
    EXPECT_EQ(*editor->m_pCurIndex, 0);
    tap_control(*editor, IDC_DELETE_ONE);
    tap_control(*editor, IDC_CLOSE_X);
    EXPECT_EQ(state(*dialog), State_Stopped);
    pass(1000);
    EXPECT_TRUE(wrote(u"播放列表為空"));
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_play].m_bEnabled, 0);
}

TEST_F(PlayList, SortingAColumnTwiceReversesItAndContinuesWithTheFirstRow)
{
    add_song("one");
    add_song("two");
    add_song("three");
    put_file(u"\\SDMMC\\A\\two.mp3");
    write_paths({ song_path("two"), song_path("three"), u"\\SDMMC\\A\\two.mp3", song_path("one") });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    auto names = [&] {
        std::vector<std::u16string> column;
        for (int row = 0; row < editor->m_List.GetItemCount(); ++row)
            column.push_back(editor->m_List.GetItemText(row, 0).str());
        return column;
    };
    tap_header(editor->m_List, 0);
    EXPECT_EQ(names(), (std::vector<std::u16string> { u"one.mp3", u"three.mp3", u"two.mp3", u"two.mp3" }));
    EXPECT_EQ(editor->m_strKeepPath.str(), song_path("one"));
    EXPECT_EQ(*editor->m_pListChanged, 1);
    EXPECT_EQ(selected(editor->m_List), 0);
    tap_header(editor->m_List, 0);
    EXPECT_EQ(names(), (std::vector<std::u16string> { u"two.mp3", u"two.mp3", u"three.mp3", u"one.mp3" }));
    // The folder column keeps its own direction: ascending first, "\SDMMC\A\" before "\SDMMC\Music\".
    tap_header(editor->m_List, 1);
    EXPECT_EQ(rows(editor->m_List).front(), u"\\SDMMC\\A\\two.mp3");
    tap_header(editor->m_List, 1);
    EXPECT_EQ(rows(editor->m_List).back(), u"\\SDMMC\\A\\two.mp3");
    auto sorted = rows(editor->m_List);
    EXPECT_EQ(editor->m_strKeepPath.str(), sorted.front());
    tap_control(*editor, IDC_CLOSE_X);
    EXPECT_EQ(entries(dialog->m_PlayList), sorted);
    EXPECT_EQ(current_path(*dialog), entries(dialog->m_PlayList).front());
}

TEST_F(PlayList, ADoubleTappedRowPlaysFromItsStart)
{
    struct Case {
        const char* name;
        std::function<void(PlayList&, CMelodoDlg&)> before;
    } cases[] = {
        { "playing", [](PlayList& test, CMelodoDlg& dialog) {
             test.tap(dialog, CMelodoDlg::btn_play);
             test.pass(2300);
         } },
        // The bar's middle while stopped: the next play would start there.
        { "stopped with the bar moved", [](PlayList& test, CMelodoDlg& dialog) {
             test.tap(dialog, CMelodoDlg::btn_stop);
             test.tap(20 + 193, 25);
         } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_list({ "one", "two", "three" });
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        c.before(*this, *dialog);
        ASSERT_GE(dialog->m_nSeekPos, 400);
        CAudListDlg* editor = open_editor(*dialog);
        ASSERT_NE(editor, nullptr);
        tap_row(editor->m_List, 2, true);
        EXPECT_EQ(top<CMelodoDlg>(), dialog);
        pass(1300);
        EXPECT_EQ(state(*dialog), State_Running);
        EXPECT_EQ(current_path(*dialog), song_path("three"));
        EXPECT_EQ(current_song(*dialog), 3);
        int seconds = -1;
        dialog->m_Player.GetCurTime(&seconds);
        EXPECT_EQ(seconds, 1);
        EXPECT_LT(dialog->m_Slider.GetPos(), 300) << "about 1 s of 6.5";
    }
}

TEST_F(PlayList, AProtectedOrFullCardIsToldAndKeepsThePlayList)
{
    struct Case {
        const char* name;
        bool protect;
        uint64_t free_bytes;
        int message; // -1 for none
        bool editing;
        size_t kept; // play list entries after one row is deleted
    } cases[] = {
        { "write-protected", true, 1ull << 30, CMsgDlg::mode_card_protected, false, 3 },
        { "full", false, 1048575, CMsgDlg::mode_card_full, true, 3 },
        { "a byte more than full", false, 1048576, -1, true, 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_list({ "one", "two", "three" });
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        auto& volumes = device->component<Volumes>();
        volumes.set_card_write_protected(c.protect);
        volumes.set_free_bytes(VolumeId::Card, c.free_bytes);
        tap(*dialog, CMelodoDlg::btn_list);
        if (c.message >= 0) {
            EXPECT_EQ(answer_message(true), c.message);
        }
        CAudListDlg* editor = top<CAudListDlg>();
        ASSERT_NE(editor, nullptr);
        for (UINT id : { IDC_RELOAD_ALL, IDC_ADD_ONE, IDC_DELETE_ONE, IDC_DELETE_ALL })
            EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(editor->m_hWnd, static_cast<int>(id))) != 0, c.editing) << id;
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(editor->m_hWnd, static_cast<int>(IDC_CLOSE_X))));
        tap_row(editor->m_List, 1);
        tap_control(*editor, IDC_DELETE_ONE);
        EXPECT_EQ(editor->m_List.GetItemCount(), c.editing ? 2 : 3);
        tap_control(*editor, IDC_CLOSE_X);
        EXPECT_EQ(top<CMelodoDlg>(), dialog);
        EXPECT_EQ(static_cast<size_t>(dialog->m_PlayList.GetSize()), c.kept);
    }
}

TEST_F(PlayList, NotifyCodesInsideAnyDialogCloseTheProgramWithTheBookmarkWritten)
{
    struct Where {
        const char* name;
        std::function<void(PlayList&, CAudListDlg&)> open;
    };
    const Where places[] = {
        { "editor", [](PlayList&, CAudListDlg&) {} },
        { "browser", [](PlayList& test, CAudListDlg& editor) { test.tap_control(editor, IDC_ADD_ONE); } },
        { "message box", [](PlayList& test, CAudListDlg& editor) { test.tap_control(editor, IDC_DELETE_ALL); } },
    };
    for (const Where& where : places) {
        for (WPARAM code : { DRV_SD_RMV2, APP_USB_CONNECTED, APP_CLOSE }) {
            SCOPED_TRACE(std::string(where.name) + " " + std::to_string(code));
            start_over();
            write_list({ "one", "two" });
            start_home();
            CMelodoDlg* dialog = start();
            ASSERT_NE(dialog, nullptr);
            tap(*dialog, CMelodoDlg::btn_volume_up);
            CAudListDlg* editor = open_editor(*dialog);
            ASSERT_NE(editor, nullptr);
            where.open(*this, *editor);
            HWND inner = WindowFromPoint({ 479, 0 });
            EXPECT_EQ(inner == editor->m_hWnd, std::string(where.name) == "editor");
            PostMessage(inner, WM_KIVO_NOTIFY, code, 0);
            pass(1000);
            EXPECT_EQ(device->find_process(melodo_image_path), nullptr);
            EXPECT_EQ(std::count(g_home.notifies.begin(), g_home.notifies.end(), std::pair<WPARAM, LPARAM> { APP_CLOSED, APPID_AUDIO }), 1);
            auto file = read_device_file(bookmark_path);
            ASSERT_TRUE(file.has_value());
            ASSERT_EQ(file->size(), 16 + bookmark_bytes);
            auto bookmark = decode_bookmark(std::span<const uint8_t, bookmark_bytes>(reinterpret_cast<const uint8_t*>(file->data() + 16), bookmark_bytes));
            EXPECT_EQ(bookmark.volume, default_volume + 1);
            EXPECT_EQ(bookmark.list_count, 2);
        }
    }
}

TEST_F(PlayList, TheEditorShowsTheSelectedRowAndScrollBars)
{
    add_song("one");
    std::vector<std::u16string> paths { song_path("one") };
    for (int i = 0; i < 20; ++i) {
        std::u16string path = u"\\SDMMC\\Album\\Track " + std::u16string(1, u'0' + (i + 1) / 10) + std::u16string(1, u'0' + (i + 1) % 10) + u".mp3";
        put_file(path);
        paths.push_back(path);
    }
    write_paths(paths);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CAudListDlg* editor = open_editor(*dialog);
    ASSERT_NE(editor, nullptr);
    tap_row(editor->m_List, 3);
    auto shot = review_screenshot(*device, "melodo-playlist-editor");
    CRect row;
    editor->m_List.GetItemRect(3, &row, LVIR_BOUNDS);
    EXPECT_EQ(row.Height(), 24);
    EXPECT_EQ(shot.pixel_565(4 + 190, 11 + row.CenterPoint().y), rgb565_of_colorref(RGB(255, 157, 11)));
    EXPECT_TRUE(wrote(u"檔案名稱"));
    EXPECT_TRUE(wrote(u"Track 03.mp3"));
    EXPECT_TRUE(::IsWindowVisible(editor->m_List.m_VScroll.m_hWnd));
    EXPECT_TRUE(::IsWindowVisible(editor->m_List.m_HScroll.m_hWnd));
}

} // namespace
} // namespace kivo::test
