#include "GdiApi.h"

#include "FileApi.h"
#include "GwesApi.h"

#include "BmpFile.h"
#include "GdiCall.h"
#include "WideText.h"

#include <optional>
#include <vector>

using namespace kivo;

namespace {

// No BMP within the largest bitmap's size comes near this; a longer file is not read into memory.
constexpr DWORD largest_file = 64 * 1024 * 1024;

// The whole file, read through the device's file calls (so by device path, from any volume), or
// nothing with the platform's error.
std::optional<std::vector<uint8_t>> read_whole_file(LPCWSTR path)
{
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    DWORD error = ERROR_SUCCESS;
    if (size == INVALID_FILE_SIZE)
        error = GetLastError();
    else if (high != 0 || size > largest_file)
        error = ERROR_NOT_ENOUGH_MEMORY;
    std::vector<uint8_t> bytes;
    if (error == ERROR_SUCCESS) {
        bytes.resize(size);
        DWORD done = 0;
        while (done < size) {
            DWORD read = 0;
            if (!ReadFile(file, bytes.data() + done, size - done, &read, nullptr)) {
                error = GetLastError();
                break;
            }
            if (read == 0)
                break;
            done += read;
        }
        // A file cut short while being read is judged by what was there.
        bytes.resize(done);
    }
    CloseHandle(file);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return std::nullopt;
    }
    return bytes;
}

HBITMAP load_bmp_file(const char* caller, LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Read before the drawing lock is taken: reading can wait on the storage.
    auto bytes = read_whole_file(path);
    if (!bytes)
        return nullptr;
    DWORD error = ERROR_SUCCESS;
    auto bitmap = decode_bmp(*bytes, error);
    GdiCall call;
    if (!bitmap) {
        call.device().write_debug(format_wide(u"%hs: %ls is not a bitmap the device reads (error %u)\r\n", caller,
            path, unsigned(error)));
        SetLastError(error);
        return nullptr;
    }
    return static_cast<HBITMAP>(call.insert(std::move(bitmap)));
}

} // namespace

HANDLE LoadImage(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT load)
{
    if (type != IMAGE_BITMAP || width != 0 || height != 0) {
        // FIXME: icons, and pictures stretched while loading; the programs load bitmaps at their
        // own size.
        GdiCall call;
        call.device().write_debug(u"LoadImage: only bitmaps at their own size are supported\r\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!(load & LR_LOADFROMFILE))
        return LoadBitmap(module, name);
    if (module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // LR_CREATEDIBSECTION is met as well: the bitmap's memory is the program's to draw into, but
    // it is in the screen's format whatever the file's was.
    return load_bmp_file("LoadImage", name);
}

HBITMAP SHLoadDIBitmap(LPCWSTR file_name)
{
    return load_bmp_file("SHLoadDIBitmap", file_name);
}
