#pragma once

// The probe objects: one opens a file and lets a fixed chain of format probes read it into one
// media-information record; each is made for a single question and destroyed after it.

#include "MediaInfo.h"

// Runs the whole chain: pictures, then the audio and video formats.
class CMediaParser {
public:
    CMediaParser();
    virtual ~CMediaParser();
    CMediaParser(const CMediaParser&) = delete;
    CMediaParser& operator=(const CMediaParser&) = delete;

    // Opens the path (closing a file still open) and probes it: 0 whatever the probes found (the
    // record's status and format say that), or the failure of opening as an HRESULT.
    virtual HRESULT Open(LPCWSTR path);
    // Nonzero when a probe claimed the file.
    virtual int Probe(HANDLE file);

    const _tag_MEDIA_INFO& info() const { return m_info; }

protected:
    _tag_MEDIA_INFO m_info;
    HANDLE m_file = INVALID_HANDLE_VALUE;

private:
    void close();
};

// Runs only the image probe.
class CImageParser : public CMediaParser {
public:
    int Probe(HANDLE file) override;
};
