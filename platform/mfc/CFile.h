#pragma once

#include "CFileException.h"
#include "CFileStatus.h"
#include "CObject.h"
#include "CString.h"

#include <cstdint>

// A file of the device through a handle. The throwing calls throw a new CFileException (the
// handler deletes it); Open reports into the exception it is given instead.
class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT {
        begin = 0,
        current = 1,
        end = 2,
    };
    static inline const HANDLE hFileNull = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

    CFile() = default;
    // Opens or throws.
    CFile(LPCWSTR file_name, UINT flags);
    ~CFile() override;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual BOOL Open(LPCWSTR file_name, UINT flags, CFileException* error = nullptr);
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG);
    virtual void Flush();
    virtual void Close();
    // Closes without throwing, whatever happens.
    virtual void Abort();
    CString GetFileName() const;
    CString GetFilePath() const { return m_strFileName; }
    BOOL GetStatus(CFileStatus&) const;

    static void Remove(LPCWSTR file_name);
    static void Rename(LPCWSTR old_name, LPCWSTR new_name);
    // The status of a file by name; false when it cannot be found.
    static BOOL GetStatus(LPCWSTR file_name, CFileStatus&);
    // Sets the attributes of a file by name, throwing when it cannot.
    static void SetStatus(LPCWSTR file_name, const CFileStatus&);

    HANDLE m_hFile = hFileNull;

protected:
    CString m_strFileName;

private:
    [[noreturn]] void throw_last_error() const;
};
