#include "SkinControls.h"

int LoadPictureList(std::vector<SkinPicture>& list, LPCWSTR section, LPCWSTR skinFile, CBitmap* bitmap)
{
    SkinPicture entry {};
    al_GetSettingString(section, u"PicName", skinFile, entry.picName, static_cast<int>(std::size(entry.picName)));
    al_GetSettingRect(section, u"rect", skinFile, &entry.rect);
    al_GetSettingInt(section, u"PicCount", skinFile, &entry.picCount);
    al_LoadBitmapEx(bitmap, entry.picName, &entry.bitmap);
    list.push_back(entry);
    return static_cast<int>(list.size()) - 1;
}

void SetToggleButton(CLayoutBtn* button, int value, int textIdOff, int textIdOn)
{
    if (!button || button->m_nValue == value)
        return;
    WCHAR caption[256] = {};
    LoadStringFromRC(caption, static_cast<int>(std::size(caption)), value ? textIdOn : textIdOff);
    button->UpdateBtnInfo(u"", caption, FALSE);
    button->SetValue(value);
}
