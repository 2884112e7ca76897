#include "CBatteryIcon.h"

#include "CAppUtil.h"
#include "program_services.h"

#include <array>

namespace {

// What a program keeps once for all its battery icons: the icons by id, for the blink timer,
// and the counter whose parity gives the blink's phase.
struct BatteryIcons {
    std::array<CBatteryIcon*, CBatteryIcon::table_size> icons {};
    unsigned blink_counter = 0;
};

BatteryIcons& battery_icons()
{
    static kivo::ProcessLocal<BatteryIcons> s_icons;
    return s_icons.get();
}

// The picture of each battery state 0 to 7; -1 for a state that keeps the picture shown.
int picture_of(int state)
{
    static constexpr int pictures[] = { 0, 0, 0, 1, 2, 3, 5, 4 };
    if (state < 0)
        return 0;
    if (state >= static_cast<int>(std::size(pictures)))
        return -1;
    return pictures[state];
}

} // namespace

CBatteryIcon::CBatteryIcon(CWnd* parent, UINT id, UINT empty_picture, UINT low_picture, UINT half_picture,
    UINT full_picture, UINT adapter_picture, UINT crossed_picture, UINT background_picture, int background_x,
    int background_y, int x, int y)
    : m_nId(id)
    , m_nX(x)
    , m_nY(y)
    , m_pParent(parent)
    , m_nBgX(background_x)
    , m_nBgY(background_y)
{
    const UINT pictures[picture_count] = { empty_picture, low_picture, half_picture, full_picture, adapter_picture,
        crossed_picture };
    for (int i = 0; i < picture_count; ++i)
        m_pictures[i].LoadBitmap(pictures[i]);
    m_background.LoadBitmap(background_picture);
    BITMAP info {};
    if (m_pictures[0].m_hObject && m_pictures[0].GetBitmap(&info)) {
        m_nWidth = info.bmWidth;
        m_nHeight = info.bmHeight;
    }
    if (entered()) {
        battery_icons().icons[m_nId] = this;
    } else {
        OutputDebugString(
            kivo::format_wide(u"CBatteryIcon: id %u is outside the icon table\n", static_cast<unsigned>(m_nId)).c_str());
    }
}

CBatteryIcon::~CBatteryIcon()
{
    stop_blinking();
    // Another icon may have taken the id since; its entry stays.
    if (entered() && battery_icons().icons[m_nId] == this)
        battery_icons().icons[m_nId] = nullptr;
    for (auto& picture : m_pictures)
        picture.DeleteObject();
    m_background.DeleteObject();
}

void CBatteryIcon::SetState(int state, int draw)
{
    m_nPrevState = m_nState;
    m_nState = state;
    stop_blinking();
    int picture = picture_of(state);
    if (picture >= 0)
        m_nCurIcon = picture;
    blink_when_low();
    if (draw)
        Draw(1);
}

void CBatteryIcon::Refresh(int show)
{
    stop_blinking();
    if (show)
        blink_when_low();
    Draw(show);
}

void CBatteryIcon::Draw(int show)
{
    // Without the first picture the icon has no size, and a copy of size 0 would take the
    // whole background.
    if (m_nWidth <= 0 || m_nHeight <= 0)
        return;
    CAppUtil util;
    util.DrawBitmap(m_pParent, m_nX, m_nY, m_nWidth, m_nHeight, m_nBgX, m_nBgY, &m_background);
    if (show)
        util.DrawBitmapTransparent(m_pParent, m_nX, m_nY, &m_pictures[m_nCurIcon], CAppUtil::transparent_key);
}

void CBatteryIcon::SetPosition(int x, int y)
{
    stop_blinking();
    m_nX = x;
    m_nY = y;
    blink_when_low();
}

void CBatteryIcon::stop_blinking()
{
    if (m_pParent)
        m_pParent->KillTimer(m_nId);
}

void CBatteryIcon::blink_when_low()
{
    // An icon outside the table could not be found by the timer, so it never blinks.
    if (m_nState == low_state && m_pParent && entered())
        m_pParent->SetTimer(m_nId, blink_period_ms, blink);
}

void CALLBACK CBatteryIcon::blink(HWND, UINT, UINT_PTR id, DWORD)
{
    auto& table = battery_icons();
    if (id >= table_size || !table.icons[id])
        return;
    unsigned old = table.blink_counter++;
    table.icons[id]->Draw(static_cast<int>((old + 1) % 2));
}
