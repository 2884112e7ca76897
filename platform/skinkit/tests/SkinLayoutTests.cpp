// A screen laid out by a skin: painting, taps, language changes, statics and the question box.

#include "SkinkitTest.h"

#include "audio/tests/SoundTest.h"

#include "Colour.h"
#include "DialogTemplates.h"
#include "DrawLog.h"
#include "SkinBoxes.h"
#include "SoundDevice.h"
#include "TouchInput.h"
#include "WideText.h"

using namespace skinkit::test;
using kivo::BitmapCanvas;
using Palette = kivo::BitmapCanvas::Palette;

namespace {

constexpr const char16_t* panel_file = u"\\NAND\\App\\BT\\skin\\default\\Test\\panel.ini";
constexpr const char16_t* box_file = u"\\NAND\\App\\BT\\skin\\default\\YesNoMsg.ini";
constexpr const char16_t* english = u"\\NAND\\App\\BT\\lang_en.ini";
constexpr const char16_t* chinese = u"\\NAND\\App\\BT\\lang_zh.ini";
constexpr UINT run_on_screen = WM_APP + 1;

constexpr COLORREF normal_face = RGB(48, 96, 152);
constexpr COLORREF pressed_face = RGB(255, 176, 32);
constexpr COLORREF disabled_face = RGB(96, 96, 96);
constexpr COLORREF on_face = RGB(48, 176, 72);
constexpr COLORREF number_background = RGB(0, 0, 64);

constexpr const char* panel_ini = "[Button_layout]\r\n"
                                  "rect=0,0,480,272\r\n"
                                  "Pic=Test\\back.bmp\r\n"
                                  "count=4\r\n"
                                  "Button1=btn_answer\r\n"
                                  "Button2=btn_hangup\r\n"
                                  "Button3=btn_mute\r\n"
                                  "Button4=btn_row\r\n"
                                  "[btn_answer]\r\nname=Answer\r\nrect=20,60,140,110\r\nPic=Test\\button.bmp\r\nTextId=100\r\n"
                                  "[btn_hangup]\r\nname=Hangup\r\nrect=170,60,290,110\r\nPic=Test\\button.bmp\r\nTextId=101\r\nDisabled=1\r\n"
                                  "[btn_mute]\r\nname=Mute\r\nrect=320,60,440,110\r\nPic=Test\\toggle.bmp\r\nValues=2\r\nTextId=102\r\n"
                                  "[btn_row]\r\nname=data\r\nrect=20,130,460,170\r\nPic=Test\\row.bmp\r\nIcon=Test\\icon.bmp\r\nText=Alice Example\r\n"
                                  "[st_Title]\nrect=0,8,480,48\nTextId=103\nFontSize=26\n"
                                  "[st_Number]\nrect=20,200,200,240\nBkColor=0,0,64\nTextColor=255,255,0\nFontSize=22\nText=+86 138 0013 8000 1234 5678\n";

constexpr const char* english_ini = "[Text]\r\n100=Answer\r\n101=Hang up\r\n102=Mute\r\n103=Incoming call\r\n";
constexpr const char* chinese_ini = "[Text]\n100=\xB1\xB5\xC5\xA5\n101=\xB1\xBE\xC2\x5F\n102=\xC0\x52\xAD\xB5\n103=\xA8\xD3\xB9\x71\n";

constexpr const char* box_ini = "[panel]\nrect=90,66,390,206\n"
                                "[layout]\ncount=2\nButton1=yes\nButton2=no\n"
                                "[yes]\nname=Retry\nrect=20,80,140,130\nPic=Test\\button.bmp\nText=Retry\n"
                                "[no]\nname=Cancel\nrect=160,80,280,130\nPic=Test\\button.bmp\nText=Cancel\n"
                                "[text]\nrect=10,10,290,80\nAlign=center\n";

// The screen under test: one layout and two statics on a window of the phone link's program.
struct Screen {
    HWND hwnd = nullptr;
    CLayout layout;
    StaticInfo title;
    StaticInfo number;
    std::vector<std::u16string> clicks;
    std::u16string boxAnswer;
    int boxResult = -1;
};
Screen* g_screen = nullptr;

LRESULT CALLBACK screen_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    POINT point { GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam) };
    switch (message) {
    case WM_LBUTTONDOWN:
        g_screen->layout.OnLButtonDown(UINT(wparam), point);
        return 0;
    case WM_MOUSEMOVE:
        g_screen->layout.OnMouseMove(UINT(wparam), point);
        return 0;
    case WM_LBUTTONUP:
        g_screen->layout.OnLButtonUp(UINT(wparam), point);
        return 0;
    case WM_LAYOUTBTN_CLICK:
        g_screen->clicks.push_back(static_cast<LPCWSTR>(reinterpret_cast<CLayoutBtn*>(lparam)->m_strName));
        return 1;
    case WM_ERASEBKGND:
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        g_screen->layout.DrawLayout(dc);
        DrawStaticText2(dc, g_screen->title);
        DrawStaticText(dc, g_screen->number, 1);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case run_on_screen:
        (*reinterpret_cast<std::function<void()>*>(lparam))();
        return 0;
    default:
        return DefWindowProc(hwnd, message, wparam, lparam);
    }
}

class SkinLayoutTest : public SkinkitTest {
protected:
    SkinLayoutTest()
    {
        write_text(panel_file, panel_ini);
        write_text(english, english_ini);
        write_text(chinese, chinese_ini);
        write_text(box_file, box_ini);
        write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\back.bmp", 480, 272,
            [](BitmapCanvas& canvas) { canvas.vertical_gradient(canvas.bounds(), Palette::panel, Palette::black); });
        // Three frames of a button: normal, pressed, disabled; round corners in the key colour.
        auto faces = [](std::vector<COLORREF> colours, int width, int height) {
            return [colours, width, height](BitmapCanvas& canvas) {
                canvas.fill(BitmapCanvas::transparent_key);
                for (size_t i = 0; i < colours.size(); ++i) {
                    int left = int(i) * width;
                    canvas.fill_round_rect({ left, 0, left + width, height }, 8, colours[i]);
                }
            };
        };
        write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\button.bmp", 360, 50, faces({ normal_face, pressed_face, disabled_face }, 120, 50));
        write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\toggle.bmp", 720, 50,
            faces({ normal_face, pressed_face, disabled_face, on_face, pressed_face, disabled_face }, 120, 50));
        write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\row.bmp", 1320, 40, faces({ Palette::panel_light, pressed_face, disabled_face }, 440, 40));
        write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\icon.bmp", 24, 24, [](BitmapCanvas& canvas) {
            canvas.fill(BitmapCanvas::transparent_key);
            canvas.fill_ellipse(canvas.bounds(), Palette::white);
        });
        device->component<kivo::Gdi>().draw_log().set_recording(true);
    }

    ~SkinLayoutTest() override
    {
        if (m_screen.hwnd)
            PostMessage(m_screen.hwnd, WM_CLOSE, 0, 0);
        device->run_until_idle();
        g_screen = nullptr;
    }

    // Starts the program with the screen painted and waiting for input.
    void open_screen(const char16_t* language = english)
    {
        g_screen = &m_screen;
        std::u16string lang = language;
        device->programs().add(program_image, [lang](std::u16string_view) {
            SetLanguageFile(lang.c_str());
            WNDCLASS description {};
            description.lpfnWndProc = screen_proc;
            description.lpszClassName = u"SkinScreen";
            RegisterClass(&description);
            HWND hwnd = CreateWindowEx(0, u"SkinScreen", u"screen", WS_POPUP, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
            g_screen->layout.InitLayout(panel_file, u"button_LAYOUT", hwnd);
            GetStaticCtlInfoFromSetting(g_screen->title, u"st_Title", panel_file);
            GetStaticCtlInfoFromSetting(g_screen->number, u"st_Number", panel_file);
            g_screen->hwnd = hwnd;
            ShowWindow(hwnd, SW_SHOW);
            UpdateWindow(hwnd);
            MSG message;
            while (GetMessage(&message, nullptr, 0, 0) > 0) {
                if (message.message == WM_CLOSE)
                    break;
                DispatchMessage(&message);
            }
            DestroyWindow(hwnd);
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(program_image, u"", error));
        device->run_until_idle();
        ASSERT_NE(m_screen.hwnd, nullptr);
    }

    // Runs code on the screen's thread, as its own handlers would.
    void on_screen(std::function<void()> body)
    {
        SendMessage(m_screen.hwnd, run_on_screen, 0, reinterpret_cast<LPARAM>(&body));
        device->run_until_idle();
    }

    kivo::test::DecodedPng shot(const std::string& name) { return kivo::test::review_screenshot(*device, name); }
    uint16_t at(const kivo::test::DecodedPng& png, int x, int y) { return png.pixel_565(x, y); }
    static uint16_t c565(COLORREF colour) { return kivo::rgb565_of_colorref(colour); }

    void tap(int x, int y)
    {
        device->component<kivo::TouchInput>().tap(x, y);
        device->run_until_idle();
    }

    Screen m_screen;
};

} // namespace

TEST_F(SkinLayoutTest, ASampleLayoutPaintsItsFramesCaptionsAndStatics)
{
    open_screen();
    auto png = shot("skinkit-sample-layout");
    // Inside each button, clear of its caption: the normal, disabled and toggle-off frames.
    EXPECT_EQ(at(png, 25, 85), c565(normal_face));
    EXPECT_EQ(at(png, 175, 85), c565(disabled_face));
    EXPECT_EQ(at(png, 325, 85), c565(normal_face));
    // The key colour of the round corners lets the background show.
    EXPECT_NE(at(png, 20, 60), c565(BitmapCanvas::transparent_key));
    EXPECT_NE(at(png, 20, 60), c565(normal_face));
    EXPECT_EQ(at(png, 26, 150), c565(Palette::white)); // the row's icon
    auto& log = device->component<kivo::Gdi>().draw_log();
    for (auto text : { u"Answer", u"Hang up", u"Mute", u"Alice Example", u"Incoming call" })
        EXPECT_TRUE(log.last_text(text).has_value()) << kivo::to_utf8(text);
    EXPECT_EQ(at(png, 22, 202), c565(number_background));
    // What the layout drew is in the process's picture cache; other pictures are not.
    on_screen([] {
        EXPECT_TRUE(IsBmpLoad(u"Test\\BUTTON.bmp"));
        EXPECT_TRUE(IsBmpLoad(u"\\NAND\\App\\BT\\skin\\default\\Test\\icon.bmp"));
        EXPECT_FALSE(IsBmpLoad(u"Test\\other.bmp"));
    });
}

TEST_F(SkinLayoutTest, ReleasingOverAnEnabledPressedButtonClicksItByName)
{
    open_screen();
    on_screen([] {
        auto* answer = g_screen->layout.FindButtonByName(u"aNSWER");
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(answer->m_strName)), u"Answer");
        EXPECT_EQ(g_screen->layout.FindButtonByName(u"Nothing"), nullptr);
        EXPECT_EQ(g_screen->layout.GetAllbtnList()->GetCount(), 4);
    });
    auto& touch = device->component<kivo::TouchInput>();
    tap(80, 85);
    tap(400, 150);
    EXPECT_EQ(m_screen.clicks, (std::vector<std::u16string> { u"Answer", u"data" }));

    struct Case {
        const char* name;
        POINT press;
        std::vector<POINT> moves;
        POINT release;
    } silent[] = {
        { "disabled button", { 230, 85 }, {}, { 230, 85 } },
        { "moved off and released outside", { 80, 85 }, { { 80, 120 } }, { 80, 120 } },
        { "moved off and back before the release", { 80, 85 }, { { 80, 120 }, { 80, 85 } }, { 80, 85 } },
        { "released over another button", { 80, 85 }, { { 380, 85 } }, { 380, 85 } },
        { "background", { 10, 250 }, {}, { 10, 250 } },
    };
    for (auto& c : silent) {
        SCOPED_TRACE(c.name);
        m_screen.clicks.clear();
        touch.press(c.press.x, c.press.y);
        device->run_until_idle();
        for (auto move : c.moves) {
            touch.move(move.x, move.y);
            device->run_until_idle();
        }
        touch.release(c.release.x, c.release.y);
        device->run_until_idle();
        EXPECT_TRUE(m_screen.clicks.empty());
    }
    // Moving off let the button go: it shows its normal frame again.
    EXPECT_EQ(shot("skinkit-after-moving-off").pixel_565(25, 85), c565(normal_face));

    // A button shows pressed while the finger is on it; disabled under the finger it clicks nothing.
    touch.press(80, 85);
    device->run_until_idle();
    EXPECT_EQ(shot("skinkit-pressed").pixel_565(25, 85), c565(pressed_face));
    on_screen([] { g_screen->layout.FindButtonByName(u"Answer")->EnableWindow(FALSE); });
    touch.release(80, 85);
    device->run_until_idle();
    EXPECT_TRUE(m_screen.clicks.empty());
    EXPECT_EQ(shot("skinkit-disabled").pixel_565(25, 85), c565(disabled_face));
    // The screen does not keep the touch input either.
    on_screen([] { EXPECT_EQ(GetCapture(), nullptr); });
    on_screen([] { g_screen->layout.FindButtonByName(u"Hangup")->EnableWindow(TRUE); });
    tap(230, 85);
    EXPECT_EQ(m_screen.clicks, std::vector<std::u16string> { u"Hangup" });
}

TEST_F(SkinLayoutTest, ATapClicksButNeverStopsARingAndTheClickCanBeTurnedOff)
{
    write_text(u"\\NAND\\App\\BT\\touch.wav", kivo::test::wave_file(50));
    write_text(u"\\NAND\\App\\BT\\ringin.wav", kivo::test::wave_file(1000));
    open_screen();
    auto& sound = device->component<kivo::SoundDevice>();
    auto played = [&](const char* file) {
        auto sounds = sound.sounds();
        return std::count_if(sounds.begin(), sounds.end(), [&](auto& s) { return kivo::to_utf8(s.file) == file; });
    };
    tap(80, 85);
    EXPECT_EQ(played("\\NAND\\App\\BT\\touch.wav"), 1);
    device->advance(100);

    on_screen([] { PlaySound(u"\\NAND\\App\\BT\\ringin.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP); });
    tap(80, 85);
    auto sounds = sound.sounds();
    ASSERT_FALSE(sounds.empty());
    EXPECT_EQ(kivo::to_utf8(sounds.back().file), "\\NAND\\App\\BT\\ringin.wav");
    EXPECT_FALSE(sounds.back().stop_ms.has_value());
    EXPECT_TRUE(sound.playing());
    on_screen([] { PlaySound(nullptr, nullptr, 0); });

    on_screen([] { al_EnablePlayTouchSound(FALSE); });
    tap(80, 85);
    EXPECT_EQ(played("\\NAND\\App\\BT\\touch.wav"), 1);
    EXPECT_EQ(m_screen.clicks.size(), 3u);
}

TEST_F(SkinLayoutTest, ALanguageChangeRelabelsButtonsWhoseCaptionsComeFromTheLanguage)
{
    open_screen();
    on_screen([] {
        auto* row = g_screen->layout.FindButtonByName(u"data");
        row->UpdateBtnInfo(static_cast<LPCWSTR>(nullptr), u"Bob", FALSE);
        // A toggle shows the frame of its value at once.
        g_screen->layout.FindButtonByName(u"Mute")->SetValue(1);
        SetLanguageFile(chinese);
        g_screen->layout.UpdateLanguage();
        EXPECT_EQ(std::u16string(g_screen->layout.FindButtonByName(u"Answer")->GetCaption()), u"接聽");
        EXPECT_EQ(std::u16string(g_screen->layout.FindButtonByName(u"Mute")->GetCaption()), u"靜音");
        // A caption the screen gave stays; so does the icon when no image is given.
        EXPECT_EQ(std::u16string(row->GetCaption()), u"Bob");
        InvalidateRect(g_screen->hwnd, nullptr, FALSE);
    });
    auto png = shot("skinkit-chinese");
    EXPECT_EQ(at(png, 325, 85), c565(on_face));
    EXPECT_EQ(at(png, 26, 150), c565(Palette::white));
    auto& log = device->component<kivo::Gdi>().draw_log();
    EXPECT_TRUE(log.last_text(u"掛斷").has_value());
    EXPECT_TRUE(log.last_text(u"Bob").has_value());

    // A bitmap the screen loaded itself becomes the icon, painted at once when asked.
    write_picture(u"\\NAND\\App\\BT\\skin\\default\\Test\\sim.bmp", 24, 24, [](BitmapCanvas& canvas) { canvas.fill(Palette::warning); });
    on_screen([] {
        HBITMAP sim = al_LoadBitmapHandle(u"Test\\sim.bmp");
        ASSERT_NE(sim, nullptr);
        g_screen->layout.FindButtonByName(u"data")->UpdateBtnInfo(sim, u"Carol", TRUE);
    });
    EXPECT_EQ(shot("skinkit-new-icon").pixel_565(26, 150), c565(Palette::warning));
    EXPECT_TRUE(log.last_text(u"Carol").has_value());
}

TEST_F(SkinLayoutTest, ALongNumberKeepsItsEndInViewOnlyWithOptionOne)
{
    open_screen();
    auto& log = device->component<kivo::Gdi>().draw_log();
    const RECT box { 20, 200, 200, 240 };
    on_screen([] {
        HDC dc = GetDC(g_screen->hwnd);
        StaticInfo number = g_screen->number;
        number.text = u"12345678901234567890123";
        DrawStaticText(dc, number, 0);
        number.text = u"98765432109876543210987";
        DrawStaticText(dc, number, 1);
        number.text = u"555";
        DrawStaticText(dc, number, 1);
        ReleaseDC(g_screen->hwnd, dc);
    });
    auto start_kept = log.last_text(u"12345678901234567890123");
    auto end_kept = log.last_text(u"98765432109876543210987");
    auto short_text = log.last_text(u"555");
    ASSERT_TRUE(start_kept && end_kept && short_text);
    EXPECT_EQ(start_kept->rect.left, box.left);
    EXPECT_GT(start_kept->rect.right, box.right);
    EXPECT_EQ(end_kept->rect.right, box.right);
    EXPECT_LT(end_kept->rect.left, box.left);
    // A text that fits stays where the skin aligns it.
    EXPECT_EQ(short_text->rect.left, box.left);
}

TEST_F(SkinLayoutTest, TheQuestionBoxAnswersThePressedButtonsNameAndIsRecorded)
{
    open_screen();
    auto& boxes = device->component<kivo::SkinBoxes>();
    auto ask = [&] {
        on_screen([] {
            WCHAR answer[16] = u"old";
            g_screen->boxResult = ZolMessageBoxEx(answer, 16, box_file, u"Dial-up failed. Retry?", g_screen->hwnd);
            g_screen->boxAnswer = answer;
        });
    };

    // Answered by a tap: the screen below is disabled meanwhile and gets no click.
    std::function<void()> body = [] {
        WCHAR answer[16] = u"old";
        g_screen->boxResult = ZolMessageBoxEx(answer, 16, box_file, u"Dial-up failed. Retry?", g_screen->hwnd);
        g_screen->boxAnswer = answer;
    };
    PostMessage(m_screen.hwnd, run_on_screen, 0, reinterpret_cast<LPARAM>(&body));
    device->run_until_idle();
    auto png = shot("skinkit-question-box");
    EXPECT_EQ(at(png, 90 + 35, 66 + 110), c565(normal_face));
    EXPECT_FALSE(IsWindowEnabled(m_screen.hwnd));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].open);
    EXPECT_EQ(boxes.shown()[0].text, u"Dial-up failed. Retry?");
    EXPECT_EQ(boxes.shown()[0].file, box_file);
    EXPECT_TRUE(device->component<kivo::Gdi>().draw_log().last_text(u"Dial-up failed. Retry?").has_value());
    tap(90 + 220, 66 + 110);
    EXPECT_EQ(m_screen.boxResult, 1);
    EXPECT_EQ(m_screen.boxAnswer, u"Cancel");
    EXPECT_TRUE(IsWindowEnabled(m_screen.hwnd));
    EXPECT_TRUE(m_screen.clicks.empty());

    // Answered by the responder, which names a button in any case.
    boxes.set_responder([](const kivo::SkinBoxRecord&) { return u"RETRY"; });
    ask();
    EXPECT_EQ(m_screen.boxResult, 1);
    EXPECT_EQ(m_screen.boxAnswer, u"Retry");

    // Closed without a button.
    boxes.set_responder([](const kivo::SkinBoxRecord&) { return u""; });
    PostMessage(m_screen.hwnd, run_on_screen, 0, reinterpret_cast<LPARAM>(&body));
    device->run_until_idle();
    HWND box = FindWindow(u"ZolMessageBoxEx", nullptr);
    ASSERT_NE(box, nullptr);
    PostMessage(box, WM_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(m_screen.boxResult, 0);
    EXPECT_EQ(m_screen.boxAnswer, u"");

    auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].answer, u"Cancel");
    EXPECT_EQ(shown[1].answer, u"Retry");
    EXPECT_EQ(shown[2].answer, u"");
    EXPECT_FALSE(shown[2].open);
}

namespace {

constexpr UINT progress_template = 140;

// A dialog whose Cancel push button is drawn by Skinkit.
class ProgressDialog : public CDialog {
public:
    ProgressDialog()
        : CDialog(progress_template)
    {
    }
    void DoDataExchange(CDataExchange* exchange) override { DDX_Control(exchange, IDCANCEL, m_cancel); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        filled = GetBtnFromSetting(m_cancel, u"CANCEL", panel_file);
        return TRUE;
    }

    CBtnWnd m_cancel;
    BOOL filled = FALSE;
};

class ProgressApp : public CWinApp {
public:
    explicit ProgressApp(ProgressDialog*& seen)
        : m_seen(seen)
    {
    }
    BOOL InitInstance() override
    {
        ProgressDialog dialog;
        m_seen = &dialog;
        result = dialog.DoModal();
        m_seen = nullptr;
        return FALSE;
    }
    INT_PTR result = 0;

private:
    ProgressDialog*& m_seen;
};

} // namespace

TEST_F(SkinLayoutTest, ASkinnedPushButtonTakesItsLookFromItsSection)
{
    write_text(panel_file, std::string(panel_ini) + "[cancel]\nPic=Test\\button.bmp\nText=Cancel\n");
    HMODULE module = device->register_module(program_image);
    device->component<kivo::DialogTemplates>().add(module,
        { progress_template, WS_POPUP | WS_VISIBLE, 0, { 0, 0, 480, 272 }, u"progress",
            { { IDCANCEL, WC_BUTTON, u"Cancel", WS_VISIBLE | BS_OWNERDRAW, { 180, 200, 300, 250 }, 0 } }, true });
    ProgressDialog* dialog = nullptr;
    INT_PTR result = -1;
    device->programs().add(program_image, [&](std::u16string_view command_line) {
        ProgressApp app(dialog);
        int code = AfxWinMain(app, command_line);
        result = app.result;
        return code;
    });
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(program_image, u"", error));
    device->run_until_idle();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->filled);
    auto png = shot("skinkit-push-button");
    EXPECT_EQ(at(png, 185, 225), c565(normal_face));
    EXPECT_TRUE(device->component<kivo::Gdi>().draw_log().last_text(u"Cancel").has_value());

    dialog->m_cancel.EnableWindow(FALSE);
    device->run_until_idle();
    EXPECT_EQ(shot("skinkit-push-button-disabled").pixel_565(185, 225), c565(disabled_face));
    dialog->m_cancel.EnableWindow(TRUE);
    device->run_until_idle();
    tap(240, 225);
    EXPECT_EQ(dialog, nullptr);
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(SkinLayoutTest, ALayoutTakesItsListedButtonsInOrderWhateverItsCount)
{
    // Keys out of order, one past the count, one repeated (the first counts), and a count far
    // beyond the keys there are, which must not cost a lookup per number.
    write_text(u"\\NAND\\App\\BT\\skin\\default\\Test\\list.ini",
        "[list]\ncount=2000000000\nButton3=c\nbutton1=a\nButton1=b\nButton02=b\nButtonX=c\n"
        "[a]\nrect=0,0,10,10\n[b]\nrect=10,0,20,10\n[c]\nrect=20,0,30,10\n"
        "[short]\ncount=2\nButton1=a\nButton3=c\n");
    run_in_process([] {
        auto names = [](const char16_t* section) {
            CLayout layout;
            EXPECT_TRUE(layout.InitLayout(u"\\NAND\\App\\BT\\skin\\default\\Test\\list.ini", section, nullptr));
            std::vector<std::u16string> result;
            CPtrList* list = layout.GetAllbtnList();
            for (POSITION at = list->GetHeadPosition(); at;)
                result.push_back(static_cast<LPCWSTR>(static_cast<CLayoutBtn*>(list->GetNext(at))->m_strName));
            return result;
        };
        EXPECT_EQ(names(u"list"), (std::vector<std::u16string> { u"a", u"b", u"c" }));
        EXPECT_EQ(names(u"short"), std::vector<std::u16string> { u"a" });
    });
}
