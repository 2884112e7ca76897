#pragma once

#include "ParmFileHeader.h"
#include "platform.h"

// Reads and writes parameter files: a ParmFileHeader followed by one fixed-size record. It keeps
// no file open between calls. Results are 0 or -1; failures go only to the debug output.
class CParmFileRW {
public:
    CParmFileRW();
    ~CParmFileRW() = default;
    CParmFileRW(const CParmFileRW&) = delete;
    CParmFileRW& operator=(const CParmFileRW&) = delete;

    // Reads a record of exactly `wantBytes` into `data` (a buffer of `maxBytes`). The buffer
    // receives the file's bytes before anything is compared.
    int Read(LPCWSTR name, void* data, int maxBytes, int wantBytes);
    // Writes a header and the record beside the file first and then puts it in the file's place,
    // so a reader never meets a half-written file; the file is hidden afterwards.
    int Write(LPCWSTR name, const void* data, int bytes);
    // The sum of the bytes, each taken as a signed 8-bit value; 0 for no bytes.
    static int CheckSum(const void* data, int bytes);

    // The name of the file a read could not open, for the failure message.
    static constexpr size_t name_capacity = 128;
    WCHAR m_szName[name_capacity] = {};
    CFileException m_error;
    CFile m_file;
    CFileStatus m_status;
    ParmFileHeader hdr = {};

private:
    void remove_file(LPCWSTR name);
};
