#pragma once

#include "CTime.h"
#include "kernel/Types.h"

#include <cstdint>

// What CFile::GetStatus tells of a file, and what SetStatus changes.
struct CFileStatus {
    CTime m_ctime;
    CTime m_mtime;
    CTime m_atime;
    uint64_t m_size = 0;
    BYTE m_attribute = 0;
    BYTE m_padding = 0;
    WCHAR m_szFullName[MAX_PATH] {};
};
