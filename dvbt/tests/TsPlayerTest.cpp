#include "TsPlayerTest.h"

#include "Gdi.h"

namespace dvbt_test {

using namespace kivo;

LRESULT CALLBACK key_page_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT all { 0, 0, 480, 272 }, key { 0, 0, 480, 240 };
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH key_brush = CreateSolidBrush(Gdi::video_key);
        FillRect(dc, &all, white);
        FillRect(dc, &key, key_brush);
        DeleteObject(white);
        DeleteObject(key_brush);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProc(window, message, wparam, lparam);
}

TsPlayerTest::TsPlayerTest()
{
    install_media_classes(*device);
    install_vendor_filters(*device);
    device->component<MessageBoxes>().set_responder([](const MessageBoxRecord&) { return IDOK; });
}

void TsPlayerTest::run(const std::function<void(HWND)>& body, const std::u16string& image)
{
    bool ran = test::run_program_to_end(*device, image, [&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        WNDCLASS page_class {};
        page_class.lpfnWndProc = key_page_procedure;
        page_class.lpszClassName = u"TvPage";
        RegisterClass(&page_class);
        HWND window = CreateWindowEx(0, u"TvPage", u"Telvix", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(window);
        body(window);
        DestroyWindow(window);
        CoUninitialize();
    });
    ASSERT_TRUE(ran);
}

void TsPlayerTest::set_up_for_play(TestPlayer& player, HWND window)
{
    ASSERT_EQ(player.CreateFilter(), 1);
    ASSERT_EQ(player.AddFilter(), 1);
    EXPECT_EQ(player.SetNotifyWindow(window), 0u);
    EXPECT_EQ(player.SetPreviewWindow(window), 0u);
    EXPECT_EQ(player.SetDestination(1), 0u);
    ASSERT_EQ(player.ConnectFilterForPlay(), 1);
}

bool connected(IBaseFilter* filter, const WCHAR* pin_name)
{
    IPin* pin = nullptr;
    if (!filter || FAILED(filter->FindPin(pin_name, &pin)) || !pin)
        return false;
    IPin* peer = nullptr;
    bool is_connected = pin->ConnectedTo(&peer) == S_OK;
    if (peer)
        peer->Release();
    pin->Release();
    return is_connected;
}

bool TsPlayerTest::debug_written(const std::string& line) const
{
    for (auto& written : device->debug_log().lines()) {
        if (written.text == line)
            return true;
    }
    return false;
}

int TsPlayerTest::live_filters() const
{
    auto& classes = device->component<ComClassTable>();
    int live = 0;
    for (const CLSID& id : { CLSID_FilterGraph, CLSID_TCCDVBTTuneFilter, CLSID_RaruTsDemuxer, CLSID_MPG2DEC, CLSID_TCCSPLITTER,
             CLSID_ZezVideoRenderer, CLSID_TCCMP2DEC, CLSID_AudioRender, CLSID_Zez_PsiParser3, CLSID_TeletextDecoder,
             CLSID_DVBSubtitleDecoder, CLSID_NullRenderer, CLSID_TCCIMGRENDFILTER })
        live += classes.live_objects(id);
    return live;
}

// The PIDs a pin of the demultiplexer has mapped, in PID order.
std::vector<ULONG> maps_of(IBaseFilter* demux, const WCHAR* pin_name)
{
    std::vector<ULONG> pids;
    IPin* pin = nullptr;
    if (FAILED(demux->FindPin(pin_name, &pin)))
        return pids;
    IMPEG2PIDMap* map = nullptr;
    IEnumPIDMap* maps = nullptr;
    if (SUCCEEDED(pin->QueryInterface(IID_IMPEG2PIDMap, reinterpret_cast<void**>(&map))) && SUCCEEDED(map->EnumPIDMap(&maps))) {
        PID_MAP entry;
        ULONG fetched = 0;
        while (maps->Next(1, &entry, &fetched) == S_OK && fetched == 1)
            pids.push_back(entry.ulPID);
        maps->Release();
    }
    if (map)
        map->Release();
    pin->Release();
    return pids;
}

} // namespace dvbt_test
