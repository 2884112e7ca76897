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

std::u16string LanguageText(int id)
{
    WCHAR text[512] = {};
    LoadStringFromRC(text, static_cast<int>(std::size(text)), id);
    return text;
}

void SetToggleButton(CLayoutBtn* button, int value, int textIdOff, int textIdOn)
{
    if (!button || button->m_nValue == value)
        return;
    button->UpdateBtnInfo(u"", LanguageText(value ? textIdOn : textIdOff).c_str(), FALSE);
    button->SetValue(value);
}
