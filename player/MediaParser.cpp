#include "MediaParser.h"

#include "image/ImageProbe.h"
#include "mpegaudio/MpegAudioProbe.h"

namespace {

// The chain in its fixed order: the first probe that claims a file ends it. A format whose probe
// is not written yet keeps its place here as a comment until it lands.
constexpr FormatProbe probe_chain[] = {
    ProbeImage,
    // ProbeRiff: AVI and WAV (a WAV file runs on through the rest of the chain)
    // ProbeMp4
    // ProbeAsf
    // ProbeOgg
    // ProbeMpegProgramStream
    ProbeMpegAudio, // MPEG audio with ID3 tags and the Xing header, and ADTS AAC
    // ProbeFlac
    // ProbeApe
};
} // namespace

CMediaParser::CMediaParser()
    : m_info(new_media_info())
{
}

CMediaParser::~CMediaParser()
{
    close();
}

void CMediaParser::close()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

HRESULT CMediaParser::Open(LPCWSTR path)
{
    close();
    m_file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        HRESULT failure = HRESULT_FROM_WIN32(GetLastError());
        return failure != S_OK ? failure : E_FAIL;
    }
    Probe(m_file);
    return S_OK;
}

int CMediaParser::Probe(HANDLE file)
{
    for (FormatProbe probe : probe_chain) {
        if (probe(m_info, file))
            return 1;
    }
    return 0;
}

int CImageParser::Probe(HANDLE file)
{
    return ProbeImage(m_info, file);
}
