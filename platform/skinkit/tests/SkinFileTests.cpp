// Skin and language files, settings in the registry, paths and pictures.

#include "SkinkitTest.h"

#include "Registry.h"
#include "WideText.h"

#include <cstring>
#include <filesystem>

using namespace skinkit::test;

namespace {

constexpr const char16_t* skin_file = u"\\NAND\\App\\BT\\skin\\default\\Test\\panel.ini";
constexpr const char16_t* english = u"\\NAND\\App\\BT\\lang_en.ini";
constexpr const char16_t* chinese = u"\\NAND\\App\\BT\\lang_zh.ini";

// Lines end in CRLF and in LF alike; names are written in another case than they are asked for.
constexpr const char* panel_ini = "; the test panel\r\n"
                                  "[PANEL]\r\n"
                                  "RECT=0, 0, 480,272\r\n"
                                  "Cursorpoint=240,136\n"
                                  "Name=Main panel; with a semicolon\n"
                                  "\n"
                                  "[st_title]\n"
                                  "textcolor=255,128,0\r\n"
                                  "TextId=103\r\n"
                                  ";FontSize=30\r\n"
                                  "Bad=1,2,3\r\n"
                                  "Loud=256,0,0\r\n"
                                  "Count=12abc\r\n"
                                  "Negative=-7\r\n";

constexpr const char* english_ini = "[Text]\r\n100=Answer\r\n101=Hang up\r\n102=Mute\r\n103=Incoming call\r\n";
// The same texts in code page 950.
constexpr const char* chinese_ini = "[text]\n100=\xB1\xB5\xC5\xA5\n101=\xB1\xBE\xC2\x5F\n103=\xA8\xD3\xB9\x71\n";

} // namespace

TEST_F(SkinkitTest, SkinValuesOfEachKindAreFoundWithoutRegardToCase)
{
    write_text(skin_file, panel_ini);
    WCHAR text[64] = u"untouched";
    EXPECT_TRUE(al_GetSettingString(u"panel", u"Name", skin_file, text, 64));
    EXPECT_EQ(std::u16string(text), u"Main panel; with a semicolon");
    int number = 5;
    EXPECT_TRUE(al_GetSettingInt(u"ST_TITLE", u"textid", skin_file, &number));
    EXPECT_EQ(number, 103);
    EXPECT_TRUE(al_GetSettingInt(u"st_Title", u"Negative", skin_file, &number));
    EXPECT_EQ(number, -7);
    RECT rect {};
    EXPECT_TRUE(al_GetSettingRect(u"panel", u"rect", skin_file, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, 480);
    EXPECT_EQ(rect.bottom, 272);
    COLORREF colour = 0;
    EXPECT_TRUE(al_GetSettingColor(u"st_Title", u"TextColor", skin_file, &colour));
    EXPECT_EQ(colour, RGB(255, 128, 0));

    // What is missing, commented out or not of the asked form answers 0 and leaves the output.
    struct Case {
        const char16_t* section;
        const char16_t* key;
        const char16_t* file;
    } missing[] = {
        { u"st_Title", u"FontSize", skin_file },
        { u"st_Title", u"Unknown", skin_file },
        { u"Nowhere", u"TextId", skin_file },
        { u"st_Title", u"TextId", u"\\NAND\\App\\BT\\skin\\default\\Test\\none.ini" },
    };
    for (auto& c : missing) {
        SCOPED_TRACE(kivo::to_utf8(c.key));
        std::memcpy(text, u"untouched", sizeof(u"untouched"));
        EXPECT_FALSE(al_GetSettingString(c.section, c.key, c.file, text, 64));
        EXPECT_EQ(std::u16string(text), u"untouched");
        number = 5;
        EXPECT_FALSE(al_GetSettingInt(c.section, c.key, c.file, &number));
        EXPECT_EQ(number, 5);
    }
    number = 5;
    EXPECT_FALSE(al_GetSettingInt(u"st_Title", u"Count", skin_file, &number));
    EXPECT_EQ(number, 5);
    RECT kept { 1, 2, 3, 4 };
    EXPECT_FALSE(al_GetSettingRect(u"st_Title", u"Bad", skin_file, &kept));
    EXPECT_EQ(kept.left, 1);
    colour = 77;
    EXPECT_FALSE(al_GetSettingColor(u"st_Title", u"Loud", skin_file, &colour));
    EXPECT_FALSE(al_GetSettingColor(u"st_Title", u"Negative", skin_file, &colour));
    EXPECT_EQ(colour, 77u);
}

TEST_F(SkinkitTest, EveryTextOutputKeepsToItsBuffer)
{
    write_text(skin_file, panel_ini);
    write_text(english, english_ini);
    ASSERT_TRUE(al_SetRegSettingString(u"BT", u"Name", u"Long device name"));
    struct Case {
        const char* name;
        std::function<void(LPWSTR, int)> call;
        std::u16string whole;
    } cases[] = {
        { "skin string", [](LPWSTR b, int n) { al_GetSettingString(u"panel", u"Name", skin_file, b, n); }, u"Main panel; with a semicolon" },
        { "registry string", [](LPWSTR b, int n) { al_GetRegSettingString(u"BT", u"Name", u"", b, n); }, u"Long device name" },
        { "registry default", [](LPWSTR b, int n) { al_GetRegSettingString(u"BT", u"None", u"Default text", b, n); }, u"Default text" },
        { "module path", [](LPWSTR b, int n) { al_GetModulePath(nullptr, b, n); }, u"\\NAND\\App\\BT\\" },
        { "skin path", [](LPWSTR b, int n) { al_GetSkinPath(nullptr, b, n); }, skin_folder },
        { "language text", [](LPWSTR b, int n) { SetLanguageFile(english); LoadStringFromRC(b, n, 103); }, u"Incoming call" },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        run_in_process([&] {
            WCHAR buffer[64];
            std::fill(std::begin(buffer), std::end(buffer), u'#');
            c.call(buffer, 64);
            EXPECT_EQ(std::u16string(buffer), c.whole);
            std::fill(std::begin(buffer), std::end(buffer), u'#');
            c.call(buffer, 5);
            EXPECT_EQ(std::u16string(buffer), c.whole.substr(0, 4));
            EXPECT_EQ(buffer[5], u'#');
            c.call(buffer + 10, 0);
            EXPECT_EQ(buffer[10], u'#');
        });
    }
}

TEST_F(SkinkitTest, LanguageTextsComeFromTheCodePageAndAnUnknownIdIsEmptyAndLogged)
{
    write_text(english, english_ini);
    write_text(chinese, chinese_ini);
    run_in_process([] {
        WCHAR text[32] = u"old";
        // Before any language file every id is unknown.
        EXPECT_EQ(LoadStringFromRC(text, 32, 100), 0);
        EXPECT_EQ(std::u16string(text), u"");
        ASSERT_TRUE(SetLanguageFile(english));
        EXPECT_EQ(LoadStringFromRC(text, 32, 101), 7);
        EXPECT_EQ(std::u16string(text), u"Hang up");
        ASSERT_TRUE(SetLanguageFile(chinese));
        LoadStringFromRC(text, 32, 100);
        EXPECT_EQ(std::u16string(text), u"接聽");
        LoadStringFromRC(text, 32, 101);
        EXPECT_EQ(std::u16string(text), u"掛斷");
        // An id only the other language had.
        std::memcpy(text, u"old", sizeof(u"old"));
        EXPECT_EQ(LoadStringFromRC(text, 32, 102), 0);
        EXPECT_EQ(std::u16string(text), u"");
        // A file that cannot be read keeps the language there is.
        EXPECT_FALSE(SetLanguageFile(u"\\NAND\\App\\BT\\lang_xx.ini"));
        LoadStringFromRC(text, 32, 103);
        EXPECT_EQ(std::u16string(text), u"來電");
    });
    // The language is the process's own: another program has none yet.
    run_in_process([] {
        WCHAR text[32] = u"old";
        EXPECT_EQ(LoadStringFromRC(text, 32, 103), 0);
    }, u"\\NAND\\App\\BT\\Other.exe");
    auto lines = kivo::test::debug_lines(*device);
    auto unknown = [&](const std::string& id) {
        return std::count_if(lines.begin(), lines.end(), [&](auto& line) { return line.find("no text " + id) != std::string::npos; });
    };
    EXPECT_EQ(unknown("100"), 1);
    EXPECT_EQ(unknown("102"), 1);
    EXPECT_EQ(unknown("103"), 1);
}

TEST_F(SkinkitTest, RegistrySettingsAreKeptBySectionAndSurviveAReset)
{
    auto root = device->root();
    int value = 0;
    WCHAR text[32] = {};
    EXPECT_FALSE(al_GetRegSettingInt(u"Volume", u"CurrentVolume", 3, &value));
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(al_GetRegSettingString(u"BT", u"Name", u"none", text, 32));
    EXPECT_EQ(std::u16string(text), u"none");
    ASSERT_TRUE(al_SetRegSettingInt(u"Volume", u"CurrentVolume", 7));
    ASSERT_TRUE(al_SetRegSettingString(u"BT", u"Name", u"Car kit"));

    // A reset keeps only what was flushed.
    device->stop(kivo::StopReason::Reset);
    device.reset();
    device = std::make_unique<kivo::Device>(kivo::Device::Options { root, {}, false });
    EXPECT_TRUE(al_GetRegSettingInt(u"volume", u"currentvolume", 3, &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(al_GetRegSettingString(u"BT", u"Name", u"none", text, 32));
    EXPECT_EQ(std::u16string(text), u"Car kit");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT\\Skinkit\\Volume", 0, 0, &key), ERROR_SUCCESS);
    DWORD stored = 0;
    DWORD size = sizeof(stored);
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueEx(key, u"CurrentVolume", nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(stored, 7u);
    RegCloseKey(key);
}

TEST_F(SkinkitTest, PicturesLoadWithTheirDescriptionAndRelativeNamesLieInTheSkin)
{
    write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\icon.bmp", 24, 16,
        [](kivo::BitmapCanvas& canvas) { canvas.fill(kivo::BitmapCanvas::Palette::ok); });
    run_in_process([] {
        CBitmap bitmap;
        AL_BITMAP description {};
        ASSERT_TRUE(al_LoadBitmapEx(&bitmap, u"Test\\icon.bmp", &description));
        EXPECT_EQ(description.token, static_cast<DWORD>(reinterpret_cast<uintptr_t>(static_cast<HBITMAP>(bitmap))));
        EXPECT_EQ(description.width, 24);
        EXPECT_EQ(description.height, 16);
        EXPECT_EQ(description.keyColour, RGB(255, 102, 255));
        BITMAP info {};
        EXPECT_EQ(GetObject(bitmap, sizeof(info), &info), int(sizeof(info)));

        description.width = 99;
        EXPECT_FALSE(al_LoadBitmapEx(&bitmap, u"Test\\missing.bmp", &description));
        EXPECT_EQ(description.token, 0u);
        EXPECT_EQ(description.width, 0);

        HBITMAP handle = al_LoadBitmapHandle(u"\\NAND\\App\\BT\\skin\\default\\Test\\ICON.bmp");
        ASSERT_NE(handle, nullptr);
        DeleteObject(handle);
        EXPECT_EQ(al_LoadBitmapHandle(u"Test\\missing.bmp"), nullptr);
        // Loading a handle does not put the picture into the layouts' cache.
        EXPECT_FALSE(IsBmpLoad(u"Test\\icon.bmp"));
    });
}
