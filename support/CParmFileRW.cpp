#include "CParmFileRW.h"

#include <cstring>
#include <string>

CParmFileRW::CParmFileRW()
    : m_error(CFileException::none, -1)
{
}

int CParmFileRW::CheckSum(const void* data, int bytes)
{
    // Wraps in 32 bits, as the files' sums were made.
    uint32_t sum = 0;
    auto* bytes_of = static_cast<const int8_t*>(data);
    for (int i = 0; i < bytes; ++i)
        sum += static_cast<uint32_t>(static_cast<int32_t>(bytes_of[i]));
    return static_cast<int>(sum);
}

int CParmFileRW::Read(LPCWSTR name, void* data, int maxBytes, int wantBytes)
{
    // A negative length would read without bound into the caller's buffer.
    if (wantBytes > maxBytes || wantBytes < 0) {
        OutputDebugString(u"CParmFileRW: read sz error\r\n");
        return -1;
    }
    if (!m_file.Open(name, CFile::modeRead | CFile::shareDenyNone, &m_error)) {
        std::memset(m_szName, 0, sizeof(m_szName));
        size_t length = 0;
        for (; name && name[length] && length + 1 < name_capacity; ++length)
            m_szName[length] = name[length];
        NKDbgPrintfW(u"CParmFileRW: read fine name error %s\r\n", m_szName);
        return -1;
    }
    std::memset(&hdr, 0, sizeof(hdr));
    UINT header_read = 0;
    UINT data_read = 0;
    try {
        header_read = m_file.Read(&hdr, sizeof(hdr));
        data_read = m_file.Read(data, static_cast<UINT>(wantBytes));
    } catch (CFileException* error) {
        // A failed read counts as a short one below.
        error->Delete();
    }
    m_file.Abort();
    // A file shorter than its header claims is damaged, whatever the rest of the buffer holds.
    bool short_read = header_read != sizeof(hdr) || data_read != static_cast<UINT>(wantBytes);

    if (hdr.dateBytes != wantBytes) {
        OutputDebugString(u"CParmFileRW: hdr.dateBytes != readCount \r\n");
        return -1;
    }
    if (hdr.dateBytes > maxBytes) {
        OutputDebugString(u"CParmFileRW: hdr.dateBytes > maxBufSz\r\n");
        return -1;
    }
    if (short_read || CheckSum(data, hdr.dateBytes) != hdr.chkSum) {
        OutputDebugString(u"CParmFileRW: read chkSum error\r\n");
        return -1;
    }
    return 0;
}

void CParmFileRW::remove_file(LPCWSTR name)
{
    if (GetFileAttributes(name) == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributes(name, FILE_ATTRIBUTE_NORMAL);
    DeleteFile(name);
}

int CParmFileRW::Write(LPCWSTR name, const void* data, int bytes)
{
    DWORD previous = GetFileAttributes(name);
    bool existed = previous != INVALID_FILE_ATTRIBUTES;
    // A read-only file (or a folder) is not replaced, as opening it for writing would fail.
    if (bytes < 0 || (existed && (previous & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))) {
        OutputDebugString(u"CParmFileRW: write fine name error\r\n");
        return -1;
    }

    std::u16string temporary = std::u16string(name) + u".tmp";
    remove_file(temporary.c_str());
    if (!m_file.Open(temporary.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary, &m_error)) {
        OutputDebugString(u"CParmFileRW: write fine name error\r\n");
        return -1;
    }
    std::memset(&hdr, 0, sizeof(hdr));
    hdr.chkSum = CheckSum(data, bytes);
    hdr.dateBytes = bytes;
    bool complete = true;
    try {
        m_file.Write(&hdr, sizeof(hdr));
        m_file.Write(data, static_cast<UINT>(bytes));
        m_file.Close();
    } catch (CFileException* error) {
        // A full card or a failed write leaves only the temporary file, which goes below.
        error->Delete();
        complete = false;
        m_file.Abort();
    }

    bool placed = complete && (existed ? DeleteAndRenameFile(name, temporary.c_str()) : MoveFile(temporary.c_str(), name));
    if (!placed) {
        remove_file(temporary.c_str());
        OutputDebugString(u"CParmFileRW: write error\r\n");
        return -1;
    }

    // The hidden attribute joins those the file had; failures here are not reported.
    if (CFile::GetStatus(name, m_status)) {
        DWORD attributes = m_status.m_attribute | (existed ? previous : 0);
        attributes = (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN;
        m_status.m_attribute = static_cast<BYTE>(attributes);
        try {
            CFile::SetStatus(name, m_status);
        } catch (CFileException* error) {
            error->Delete();
        }
    }
    return 0;
}
