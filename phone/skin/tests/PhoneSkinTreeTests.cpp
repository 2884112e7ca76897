// Installing the phone link's skin and language trees into a device.

#include "PhoneCoreTest.h"

#include "ZolManagerAPI.h"

using namespace phone::test;

namespace {

class PhoneSkinTreeTest : public PhoneCoreTest { };

std::u16string texts_path(const kivo::PhoneTreeText& text) { return std::u16string(kivo::phone_link_folder) + text.path; }

} // namespace

TEST_F(PhoneSkinTreeTest, EveryFileIsInPlaceAndEveryPictureReadsBackAtItsSize)
{
    for (auto& text : kivo::phone_tree_texts())
        EXPECT_TRUE(kivo::test::read_device_file(texts_path(text)).has_value()) << kivo::to_utf8(text.path);
    for (auto& picture : kivo::phone_skin_pictures()) {
        SCOPED_TRACE(kivo::to_utf8(picture.path));
        auto bytes = kivo::test::read_device_file(std::u16string(kivo::phone_skin_folder) + picture.path);
        ASSERT_TRUE(bytes.has_value());
        DWORD error = 0;
        auto bitmap = kivo::decode_bmp(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()), error);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->width(), picture.width);
        EXPECT_EQ(bitmap->height(), picture.height);
        EXPECT_STRNE(picture.what, "");
    }
    // Nothing is left half written beside its place.
    WIN32_FIND_DATA found {};
    HANDLE search = FindFirstFile((std::u16string(kivo::phone_skin_folder) + u"PhoneManager\\*.part").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

TEST_F(PhoneSkinTreeTest, FilesAlreadyThereAreKept)
{
    const std::u16string own_language = u"\\NAND\\App\\BT\\Lang\\Lang.ini";
    const std::u16string own_picture = std::u16string(kivo::phone_skin_folder) + u"PhoneManager\\button.bmp";
    ASSERT_EQ(kivo::test::write_device_file(own_language, "[Text]\n14024=Own words\n"), 0u);
    ASSERT_EQ(kivo::test::write_device_file(own_picture, "mine"), 0u);
    ASSERT_EQ(DeleteFile(u"\\NAND\\App\\BT\\Lang\\Lang_0404.ini"), TRUE);
    std::string error;
    ASSERT_TRUE(kivo::install_phone_skin(*device, &error)) << error;
    EXPECT_EQ(kivo::test::read_device_file(own_language), "[Text]\n14024=Own words\n");
    EXPECT_EQ(kivo::test::read_device_file(own_picture), "mine");
    EXPECT_TRUE(kivo::test::read_device_file(u"\\NAND\\App\\BT\\Lang\\Lang_0404.ini").has_value());
}

TEST_F(PhoneSkinTreeTest, EveryResultTextReadsInEachLanguage)
{
    struct Language {
        const char16_t* file;
        std::u16string text_14024;
    } languages[] = {
        { u"\\NAND\\App\\BT\\Lang\\Lang.ini", u"Bluetooth manager not loaded" },
        { u"\\NAND\\App\\BT\\Lang\\Lang_0409.ini", u"Bluetooth manager not loaded" },
        { u"\\NAND\\App\\BT\\Lang\\Lang_0404.ini", u"藍牙管理程式未載入" },
    };
    for (auto& language : languages) {
        SCOPED_TRACE(kivo::to_utf8(language.file));
        std::u16string text_14024;
        std::vector<int> without_text;
        start(
            [&] {
                WCHAR text[256];
                LoadStringFromRC(text, 256, 14024);
                text_14024 = text;
                // Every code the wrapper can be given, and the captions of the dialogs' buttons.
                for (int code = -1; code <= 10000; ++code) {
                    int id = CZolManagerAPI::ErrorStringId(code);
                    if (id && LoadStringFromRC(text, 256, id) == 0)
                        without_text.push_back(code);
                }
                for (int id : { 14100, 14101, 14102 })
                    if (LoadStringFromRC(text, 256, id) == 0)
                        without_text.push_back(id);
            },
            language.file);
        EXPECT_EQ(text_14024, language.text_14024);
        EXPECT_TRUE(without_text.empty()) << without_text.size() << " without a text, the first " << without_text.front();
    }
}

TEST_F(PhoneSkinTreeTest, TheQuestionBoxOfTheSkinAnswersRetryOrCancel)
{
    std::u16string answer;
    start([&] {
        WCHAR pressed[16] = {};
        ZolMessageBoxEx(pressed, 16, (std::u16string(kivo::phone_skin_folder) + u"YesNoMsg.ini").c_str(), u"Dial-up failed. Retry?", nullptr);
        answer = pressed;
    });
    auto png = shot("phone-question-box");
    EXPECT_TRUE(draw_log().find_shown_text(u"Retry", 0).has_value());
    EXPECT_TRUE(draw_log().find_shown_text(u"Cancel", 0).has_value());
    EXPECT_EQ(png.pixel_565(80 + 50, 66 + 100), c565(kivo::BitmapCanvas::Palette::panel_light));
    tap(80 + 225, 66 + 108);
    EXPECT_EQ(answer, u"Cancel");
}
