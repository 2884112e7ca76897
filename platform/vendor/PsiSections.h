#pragma once

// The PSI/SI parser's insides, apart from its filter: sections cut out of transport-stream packets,
// and the tables the television library reads decoded from them into the records of PsiRecords.h.
// Nothing here needs a device; the filter runs it on its own thread.

#include "PsiRecords.h"
#include "broadcast/Crc32.h"
#include "broadcast/TransportPacket.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kivo {

// The longest section: 3 header bytes and 4093 more (EN 300 468's private sections).
inline constexpr size_t max_section_size = 4096;


// MJD and BCD time (EN 300 468 Annex C) to a SYSTEMTIME with the day of the week; false when a
// digit is no BCD digit or a field is out of range.
bool mjd_utc_to_system_time(const uint8_t bytes[5], SYSTEMTIME&);
// A BCD hh mm ss duration to hours, minutes and seconds (the date fields 0).
bool bcd_duration_to_system_time(const uint8_t bytes[3], SYSTEMTIME&);

// Where the decoder's results go.
class PsiSink {
public:
    virtual ~PsiSink() = default;
    // A record of one of the codes of PsiRecords.h, valid during the call.
    virtual void record(DWORD code, void* record) = 0;
    // A section was dropped: why, as a line for the debug output.
    virtual void dropped(const std::string& why) = 0;
};

// Decodes whole sections of the actual transport stream: PAT, PMT and SDT when all sections of a
// version are there and again at each new version, each EIT section (present/following and
// schedule) once a version, TDT and TOT each time. A section whose CRC fails, whose descriptor loop
// overruns, or that is not current is dropped; other tables (the NIT, other transport streams')
// are passed over.
class PsiDecoder {
public:
    explicit PsiDecoder(PsiSink&);
    ~PsiDecoder();
    PsiDecoder(const PsiDecoder&) = delete;
    PsiDecoder& operator=(const PsiDecoder&) = delete;

    // One section from its table id to its end (size at least its own length; more is ignored).
    void section(const uint8_t* data, size_t size);
    // A sample of whole sections one after another, up to the end or to stuffing (0xFF).
    void sections(const uint8_t* data, size_t size);

    // The tables delivered so far come again at their next complete version.
    void forget_versions();
    // Also drops the sections of tables not yet complete.
    void forget_all();

private:
    class Arena;
    struct Table;

    void table_section(const uint8_t* data, size_t size);
    void deliver_table(uint8_t table_id, const std::vector<std::vector<uint8_t>>& parts);
    bool decode_pat(const uint8_t* data, size_t size, PsiPat&, PsiPatProgram**& tail);
    bool decode_pmt(const uint8_t* data, size_t size, PsiPmt&);
    bool decode_sdt(const uint8_t* data, size_t size, PsiSdt&, PsiSdtService**& tail);
    bool decode_eit(const uint8_t* data, size_t size, PsiEit&);
    bool decode_tot(const uint8_t* data, size_t size, PsiTot&);
    void drop(const char* table, const char* why);

    PsiSink& m_sink;
    std::unique_ptr<Arena> m_arena;
    // PAT, PMT and SDT by table id and id extension.
    std::unordered_map<uint32_t, Table> m_tables;
    // The version of each EIT section delivered, by table, section, service, stream and network.
    std::unordered_map<uint64_t, uint8_t> m_eit_versions;
};

// Cuts the sections of every PID out of 188-byte packets and hands each whole one to the decoder:
// pointer field, sections across packets and several in one, stuffing. A continuity error, a
// packet marked in error or a discontinuity drops that PID's half section.
class SectionAssembler {
public:
    // Lost half sections are told to the sink's dropped().
    SectionAssembler(PsiDecoder&, PsiSink&);

    void packet(const uint8_t* packet);
    // Every whole packet of the buffer (a trailing part packet is ignored).
    void packets(const uint8_t* data, size_t size);
    // Drops every half section (a retune, a restart of the stream).
    void reset();

private:
    struct Pid {
        uint16_t pid = 0;
        int8_t continuity = -1;
        // The section begun and not yet whole; empty between sections.
        std::vector<uint8_t> partial;
    };

    Pid& state_of(uint16_t pid);
    void payload(Pid&, const uint8_t* data, size_t size, bool unit_start);
    void continue_section(Pid&, const uint8_t* data, size_t size);
    void start_sections(Pid&, const uint8_t* data, size_t size);
    void lose(Pid&, const char* why);

    PsiDecoder& m_decoder;
    PsiSink& m_sink;
    std::array<int16_t, 8192> m_index;
    std::vector<Pid> m_pids;
};

} // namespace kivo
