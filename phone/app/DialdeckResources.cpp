#include "DialdeckResources.h"

#include "program_services.h"

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;

} // namespace

void add_dialdeck_resources()
{
    HINSTANCE module = AfxGetResourceHandle();
    auto& templates = kivo::dialog_templates();
    if (templates.find(module, IDD_DIALDECK))
        return;
    // The skin's "panel" "rect" places and sizes each page when it opens.
    for (UINT page : { IDD_DIALDECK, IDD_INCOMING_CALL, IDD_CALL_OUT, IDD_DIAL_PAD })
        templates.add(module, { page, WS_POPUP, 0, { 0, 0, 480, 272 }, u"", {}, true });
    templates.set_class(module, IDD_DIAL_PAD, DIAL_PAD_CLASS);
    // A handset in a blue tile.
    kivo::module_resources(module).add_icon(IDI_DIALDECK, 32, 32, [](BitmapCanvas& c) {
        c.fill_round_rect({ 0, 0, 32, 32 }, 6, Palette::panel_light);
        c.fill_round_rect({ 10, 4, 22, 28 }, 3, Palette::white);
        c.fill_rect({ 12, 7, 20, 19 }, Palette::panel);
        c.fill_ellipse({ 14, 22, 18, 26 }, Palette::panel);
    });
}
