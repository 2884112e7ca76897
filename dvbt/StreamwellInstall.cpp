#include "StreamwellInstall.h"

#include "TsPlayer.h"
#include "platform.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb radio_colour { 0, 17, 56 };
constexpr Rgb emblem_colour { 120, 160, 220 };

// The emblem: a mast (a dot with a short stem) and three waves on either side, opening upwards.
Rgb pixel_at(int x, int y)
{
    const double cx = RADIO_BG_WIDTH / 2.0, cy = RADIO_BG_HEIGHT / 2.0;
    double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
    double distance = std::hypot(dx, dy);
    if (distance <= 9 || (std::abs(dx) <= 3 && dy > 0 && dy <= 60))
        return emblem_colour;
    // Waves within 50 degrees of the horizontal, left and right.
    double slope = std::abs(dy) / std::max(std::abs(dx), 1e-9);
    if (slope <= std::tan(50.0 * M_PI / 180)) {
        for (double radius : { 30.0, 50.0, 70.0 }) {
            if (std::abs(distance - radius) <= 3)
                return emblem_colour;
        }
    }
    return radio_colour;
}

uint8_t clamp_byte(double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

bool fail(std::string* error, std::string what)
{
    if (error)
        *error = std::move(what);
    return false;
}

} // namespace

std::vector<uint8_t> make_radio_background()
{
    const int width = RADIO_BG_WIDTH, height = RADIO_BG_HEIGHT;
    std::vector<uint8_t> picture(RADIO_BG_BYTES);
    uint8_t* luma = picture.data();
    uint8_t* cb = luma + width * height;
    uint8_t* cr = cb + width * height / 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = pixel_at(x, y);
            luma[y * width + x] = clamp_byte(16 + (65.481 * c.r + 128.553 * c.g + 24.966 * c.b) / 255);
        }
    }
    // Chroma of each 2 x 2 block from its average colour.
    for (int y = 0; y < height / 2; ++y) {
        for (int x = 0; x < width / 2; ++x) {
            Rgb sum { 0, 0, 0 };
            for (int i = 0; i < 4; ++i) {
                Rgb c = pixel_at(2 * x + i % 2, 2 * y + i / 2);
                sum = { sum.r + c.r / 4, sum.g + c.g / 4, sum.b + c.b / 4 };
            }
            cb[y * width / 2 + x] = clamp_byte(128 + (-37.797 * sum.r - 74.203 * sum.g + 112.0 * sum.b) / 255);
            cr[y * width / 2 + x] = clamp_byte(128 + (112.0 * sum.r - 93.786 * sum.g - 18.214 * sum.b) / 255);
        }
    }
    return picture;
}

bool install_streamwell(kivo::Device&, std::string* error)
{
    const WCHAR* path = u"\\NAND\\App\\RadioBG.yuv";
    if (GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES)
        return true;
    CreateDirectory(u"\\NAND\\App", nullptr);
    const WCHAR* part = u"\\NAND\\App\\RadioBG.yuv.part";
    std::vector<uint8_t> picture = make_radio_background();
    HANDLE file = CreateFile(part, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(error, "cannot create \\NAND\\App\\RadioBG.yuv.part (error " + std::to_string(GetLastError()) + ")");
    DWORD written = 0;
    bool whole = WriteFile(file, picture.data(), DWORD(picture.size()), &written, nullptr) && written == picture.size();
    DWORD code = whole ? 0 : GetLastError();
    if (!CloseHandle(file) && whole) {
        whole = false;
        code = GetLastError();
    }
    if (!whole || !MoveFile(part, path)) {
        if (whole)
            code = GetLastError();
        DeleteFile(part);
        return fail(error, "cannot write \\NAND\\App\\RadioBG.yuv (error " + std::to_string(code) + ")");
    }
    return true;
}
