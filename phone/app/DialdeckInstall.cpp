#include "DialdeckInstall.h"

#include "CodePages.h"
#include "Device.h"
#include "PhoneSkinTree.h"
#include "SimulatedPhones.h"
#include "StoredFiles.h"
#include "WideText.h"
#include "platform.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

constexpr int wave_rate = 8000;

void put_le(std::string& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::u16string settings_text(const kivo::PhoneIdentity& phone)
{
    return u"[mobile]\r\nname=" + phone.name + u"\r\nphone=" + phone.model + u"\r\ncompany=" + phone.maker
        + u"\r\nIMEI=" + phone.imei + u"\r\n[COM]\r\nDUNCOM=COM5:\r\n";
}

// Sets a value of a key under HKEY_LOCAL_MACHINE unless it has one.
bool set_missing_value(const WCHAR* subkey, const WCHAR* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    DWORD existing = 0;
    LONG result = ERROR_SUCCESS;
    if (RegQueryValueEx(key, name, nullptr, nullptr, nullptr, &existing) != ERROR_SUCCESS)
        result = RegSetValueEx(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegFlushKey(key);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool fail(std::string* error, std::string what)
{
    if (error)
        *error = std::move(what);
    return false;
}

} // namespace

std::string make_tone_wave(std::initializer_list<std::pair<int, int>> tones)
{
    std::string samples;
    for (auto [frequency, ms] : tones) {
        int count = wave_rate * ms / 1000;
        for (int i = 0; i < count; ++i) {
            double value = frequency ? 0.4 * std::sin(2 * std::numbers::pi * frequency * i / wave_rate) : 0;
            put_le(samples, static_cast<uint16_t>(static_cast<int16_t>(value * 32767)), 2);
        }
    }
    std::string file = "RIFF";
    put_le(file, static_cast<uint32_t>(36 + samples.size()), 4);
    file += "WAVEfmt ";
    put_le(file, 16, 4);
    put_le(file, 1, 2); // PCM
    put_le(file, 1, 2); // mono
    put_le(file, wave_rate, 4);
    put_le(file, wave_rate * 2, 4);
    put_le(file, 2, 2);
    put_le(file, 16, 2);
    file += "data";
    put_le(file, static_cast<uint32_t>(samples.size()), 4);
    return file + samples;
}

bool install_dialdeck(kivo::Device& device, std::string* error)
{
    if (!kivo::install_phone_skin(device, error))
        return false;
    const kivo::PhoneData phone = kivo::SimulatedPhones::default_phones().front();
    std::u16string folder = kivo::phone_link_folder;
    auto narrow = device.component<kivo::CodePages>().to_narrow(950, settings_text(phone.identity));
    if (!narrow || narrow->replaced)
        return fail(error, "cannot write mobile_setting.ini in code page 950");
    if (!kivo::put_phone_file(device, folder + u"mobile_setting.ini", narrow->text, error))
        return false;
    // A ring of two tones, twice, and a short two-note chime.
    if (!kivo::put_phone_file(device, folder + u"ringin.wav", make_tone_wave({ { 440, 400 }, { 480, 400 }, { 0, 200 }, { 440, 400 }, { 480, 400 }, { 0, 600 } }), error)
        || !kivo::put_phone_file(device, folder + u"notify.wav", make_tone_wave({ { 880, 120 }, { 1320, 180 } }), error))
        return false;

    if (GetFileAttributes(DEVICE_FILE_PATH) == INVALID_FILE_ATTRIBUTES) {
        CreateDirectory(u"\\NAND\\My Documents", nullptr);
        DeviceList devices;
        auto record = std::make_unique<DeviceRecord>();
        record->addressLow = static_cast<uint32_t>(phone.identity.address & 0xFFFFFFFF);
        record->addressHigh = static_cast<uint32_t>(phone.identity.address >> 32);
        phone.identity.name.copy(record->name, std::size(record->name) - 1);
        devices.push_back(std::move(record));
        if (!SaveDeviceFile(DEVICE_FILE_PATH, devices))
            return fail(error, "cannot write the paired-device file");
    }

    // Chinese as the system's language, and the paired phone as the manager's default one.
    DWORD lcid = 0x0404;
    std::u16string address = kivo::to_utf16(kivo::address_text(phone.identity.address));
    if (!set_missing_value(u"nls", u"DefaultLCID", REG_DWORD, &lcid, sizeof(lcid))
        || !set_missing_value(u"Software\\ZOLSOFT\\ZolManager", u"DefaultPhone", REG_SZ, address.c_str(),
            static_cast<DWORD>((address.size() + 1) * sizeof(WCHAR))))
        return fail(error, "cannot write the phone link's registry values");
    return true;
}
