#pragma once

// What a fresh device holds for the phone link beside its program image: the skin and language
// trees, the settings file "mobile_setting.ini" naming the default phone (section "mobile") and
// its dial-up port ("COM" "DUNCOM"), the ring and message sounds made by code, the paired-device
// file listing the default phone, the manager's default phone and the system language 0x0404.
// Files and registry values already there are kept.

#include <string>

namespace kivo {
class Device;
}

bool install_dialdeck(kivo::Device&, std::string* error = nullptr);

// A 16-bit mono PCM RIFF/WAVE file of tones, each (frequency in Hz, milliseconds); frequency 0 is
// silence.
std::string make_tone_wave(std::initializer_list<std::pair<int, int>> tones);
