#include "PhoneScreen.h"

#include "SkinControls.h"
#include "Skinkit.h"
#include "program_services.h"

namespace {

kivo::ProcessLocal<std::u16string> s_skin_folder;

// "x,y" as the device's run-time reads "%d,%d": blanks before each number, then the comma.
bool ParsePoint(const WCHAR* text, POINT& point)
{
    WCHAR* end = nullptr;
    long x = wcstol(text, &end, 10);
    if (end == text || *end != u',')
        return false;
    const WCHAR* second = end + 1;
    long y = wcstol(second, &end, 10);
    if (end == second)
        return false;
    point = { static_cast<LONG>(x), static_cast<LONG>(y) };
    return true;
}

} // namespace

void SetSkinFolder(std::u16string folder)
{
    *s_skin_folder = std::move(folder);
}

std::u16string GetSkinFolder()
{
    return *s_skin_folder;
}

std::u16string SkinFilePath(std::u16string_view folder, std::u16string_view file)
{
    std::u16string path = GetSkinFolder();
    path += folder;
    path += u'\\';
    path += file;
    return path;
}

bool ReadSkinCursorPoint(LPCWSTR skinFile, POINT& point)
{
    WCHAR text[64] = {};
    return al_GetSettingString(u"panel", u"Cursorpoint", skinFile, text, static_cast<int>(std::size(text)))
        && ParsePoint(text, point);
}

void CPhoneScreen::PlaceFromSkin(LPCWSTR skinFile)
{
    if (ReadSkinCursorPoint(skinFile, m_cursorPoint.point)) {
        m_cursorPoint.given = true;
        SetCursorPos(m_cursorPoint.point.x, m_cursorPoint.point.y);
    }
    RECT rect = DEFAULT_SCREEN_RECT;
    al_GetSettingRect(u"panel", u"rect", skinFile, &rect);
    MoveWindow(&rect);
}

void CPhoneScreen::RestoreCursor()
{
    if (m_cursorPoint.given)
        SetCursorPos(m_cursorPoint.point.x, m_cursorPoint.point.y);
}

void CPhoneScreen::OnLButtonDown(UINT flags, CPoint point)
{
    for (CLayout* layout : m_mouseLayouts)
        layout->OnLButtonDown(flags, point);
    CDialog::OnLButtonDown(flags, point);
}

void CPhoneScreen::OnLButtonUp(UINT flags, CPoint point)
{
    for (CLayout* layout : m_mouseLayouts)
        layout->OnLButtonUp(flags, point);
    CDialog::OnLButtonUp(flags, point);
}

void CPhoneScreen::OnMouseMove(UINT flags, CPoint point)
{
    for (CLayout* layout : m_mouseLayouts)
        layout->OnMouseMove(flags, point);
    CDialog::OnMouseMove(flags, point);
}

void CPhoneScreen::PaintOffScreen(const std::function<void(CDC&)>& draw)
{
    CPaintDC dc(this);
    RECT client {};
    GetClientRect(&client);
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap canvas;
    canvas.CreateCompatibleBitmap(&dc, client.right, client.bottom);
    CBitmap* old = memory.SelectObject(&canvas);
    draw(memory);
    dc.BitBlt(0, 0, client.right, client.bottom, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

void CPhoneScreen::RelabelStatics(LPCWSTR skinFile, std::initializer_list<RelabelledStatic> statics)
{
    CClientDC dc(this);
    for (const RelabelledStatic& relabelled : statics) {
        int id = 0;
        if (!al_GetSettingInt(relabelled.section, u"TextId", skinFile, &id) || id <= 0)
            continue;
        relabelled.info.text = LanguageText(id).c_str();
        if (relabelled.title) {
            relabelled.beneath.DrawLayout(dc);
            DrawStaticText2(dc, relabelled.info);
        } else {
            relabelled.beneath.DrawLayout(dc, relabelled.info.rect);
            DrawStaticText(dc, relabelled.info, 0);
        }
    }
}
