#include "Screenshot.h"

#include "Colour.h"
#include "Device.h"
#include "FrameBuffer.h"
#include "VideoPlane.h"

#include <png.h>

#include <fstream>

namespace kivo {

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) { }

} // namespace

std::vector<uint8_t> png_of_rgb(int width, int height, std::span<const uint8_t> rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3)
        return {};
    std::vector<uint8_t> result;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    // libpng reports failures by jumping back here; nothing with a destructor lives in between.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &result, append_bytes, flush_nothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(&rgb[size_t(y) * size_t(width) * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return result;
}

std::vector<uint8_t> screenshot_png(Device& device)
{
    // What the screen shows, copied whole under the drawing lock; the conversion runs without it.
    std::vector<uint16_t> page(FrameBuffer::visible_pixels);
    device.component<VideoPlane>().copy_shown_screen(page);
    std::vector<uint8_t> rgb(page.size() * 3);
    for (size_t i = 0; i < page.size(); ++i) {
        rgb[i * 3] = red_of(page[i]);
        rgb[i * 3 + 1] = green_of(page[i]);
        rgb[i * 3 + 2] = blue_of(page[i]);
    }
    return png_of_rgb(FrameBuffer::width, FrameBuffer::height, rgb);
}

bool write_png_file(const std::filesystem::path& path, const std::vector<uint8_t>& png)
{
    if (png.empty())
        return false;
    // Written beside its place and put there whole, so a failed write keeps the picture before it.
    std::filesystem::path part = path;
    part += ".new";
    {
        std::ofstream out(part, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(part, path, failure);
    if (failure)
        std::filesystem::remove(part, failure);
    return !failure;
}

bool write_screenshot_png(Device& device, const std::filesystem::path& path)
{
    return write_png_file(path, screenshot_png(device));
}

} // namespace kivo
