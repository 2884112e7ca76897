#pragma once

// Hand-made sections and packets for the parser's tests: a section writer with its own bitwise
// CRC-32/MPEG-2 (not the parser's table-driven one), BCD and MJD helpers, and a packetiser with
// pointer fields, stuffing and continuity counters.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kivo::test {

using Bytes = std::vector<uint8_t>;

inline uint32_t bitwise_crc32_mpeg2(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            bool top = ((crc >> 31) ^ (data[i] >> bit)) & 1;
            crc = (crc << 1) ^ (top ? 0x04C11DB7u : 0);
        }
    }
    return crc;
}

inline void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
inline void put16(Bytes& to, unsigned value)
{
    to.push_back(uint8_t(value >> 8));
    to.push_back(uint8_t(value));
}
inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline void put_crc(Bytes& section)
{
    uint32_t crc = bitwise_crc32_mpeg2(section.data(), section.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        section.push_back(uint8_t(crc >> shift));
}

// A long-form section: table id, id extension, version, section and last section numbers, the body
// after the eight header bytes, and the CRC.
inline Bytes long_section(uint8_t table_id, unsigned extension, unsigned version, unsigned number, unsigned last, const Bytes& body,
    bool current = true)
{
    Bytes s { table_id, 0, 0 };
    put16(s, extension);
    s.push_back(uint8_t(0xC0 | (version & 0x1F) << 1 | (current ? 1 : 0)));
    s.push_back(uint8_t(number));
    s.push_back(uint8_t(last));
    append(s, body);
    const size_t length = s.size() - 3 + 4;
    s[1] = uint8_t(0xB0 | (length >> 8));
    s[2] = uint8_t(length);
    put_crc(s);
    return s;
}

inline Bytes descriptor(uint8_t tag, const Bytes& body)
{
    Bytes d { tag, uint8_t(body.size()) };
    append(d, body);
    return d;
}

// A loop of descriptors with its 12-bit length in front (top four bits as given).
inline Bytes loop(const Bytes& descriptors, uint8_t top = 0xF0)
{
    Bytes l { uint8_t(top | (descriptors.size() >> 8)), uint8_t(descriptors.size()) };
    append(l, descriptors);
    return l;
}

inline uint8_t bcd(unsigned value) { return uint8_t((value / 10) << 4 | value % 10); }

// MJD of a civil date (EN 300 468 Annex C, the integer form).
inline unsigned mjd(int year, int month, int day)
{
    int l = (month == 1 || month == 2) ? 1 : 0;
    return unsigned(14956 + day + int((year - 1900 - l) * 365.25) + int((month + 1 + l * 12) * 30.6001));
}

inline Bytes utc(int year, int month, int day, int hour, int minute, int second)
{
    Bytes t;
    put16(t, mjd(year, month, day));
    t.push_back(bcd(unsigned(hour)));
    t.push_back(bcd(unsigned(minute)));
    t.push_back(bcd(unsigned(second)));
    return t;
}

inline Bytes pat_section(unsigned tsid, unsigned version, std::initializer_list<std::pair<unsigned, unsigned>> programs,
    unsigned number = 0, unsigned last = 0, bool current = true)
{
    Bytes body;
    for (auto [program, pid] : programs) {
        put16(body, program);
        put16(body, 0xE000 | pid);
    }
    return long_section(0x00, tsid, version, number, last, body, current);
}

inline Bytes sdt_service(unsigned service_id, uint8_t type, const Bytes& provider, const Bytes& name, uint8_t running = 4,
    const Bytes& extra = {})
{
    Bytes d { type, uint8_t(provider.size()) };
    append(d, provider);
    d.push_back(uint8_t(name.size()));
    append(d, name);
    Bytes s;
    put16(s, service_id);
    s.push_back(0xFD); // schedule and present/following flags set
    Bytes descriptors = descriptor(0x48, d);
    append(descriptors, extra);
    append(s, loop(descriptors, uint8_t(running << 5)));
    return s;
}

inline Bytes sdt_section(unsigned tsid, unsigned onid, unsigned version, const Bytes& services, unsigned number = 0, unsigned last = 0,
    uint8_t table_id = 0x42)
{
    Bytes body;
    put16(body, onid);
    body.push_back(0xFF);
    append(body, services);
    return long_section(table_id, tsid, version, number, last, body);
}

inline Bytes eit_event(unsigned event_id, const Bytes& start, const Bytes& duration, uint8_t running, const Bytes& descriptors)
{
    Bytes e;
    put16(e, event_id);
    append(e, start);
    append(e, duration);
    append(e, loop(descriptors, uint8_t(running << 5)));
    return e;
}

inline Bytes eit_section(uint8_t table_id, unsigned service_id, unsigned tsid, unsigned onid, unsigned version, unsigned number,
    const Bytes& events, unsigned last = 0)
{
    Bytes body;
    put16(body, tsid);
    put16(body, onid);
    body.push_back(uint8_t(last));
    body.push_back(table_id);
    append(body, events);
    return long_section(table_id, service_id, version, number, last, body);
}

inline Bytes short_event(const std::string& language, const Bytes& name, const Bytes& body)
{
    Bytes d = text(language);
    d.push_back(uint8_t(name.size()));
    append(d, name);
    d.push_back(uint8_t(body.size()));
    append(d, body);
    return descriptor(0x4D, d);
}

inline Bytes extended_event(unsigned number, unsigned last, const std::string& language, const Bytes& body)
{
    Bytes d { uint8_t(number << 4 | last) };
    append(d, text(language));
    d.push_back(0); // no items
    d.push_back(uint8_t(body.size()));
    append(d, body);
    return descriptor(0x4E, d);
}

inline Bytes tdt_section(const Bytes& time)
{
    Bytes s { 0x70, 0x70, 0x05 };
    append(s, time);
    return s;
}

// A local time offset entry: country, region, offset in minutes (negative for west), change time,
// next offset.
inline Bytes offset_entry(const std::string& country, unsigned region, int minutes, const Bytes& change, int next_minutes)
{
    Bytes e = text(country);
    e.push_back(uint8_t(region << 2 | 0x02 | (minutes < 0 ? 1 : 0)));
    unsigned magnitude = unsigned(minutes < 0 ? -minutes : minutes);
    e.push_back(bcd(magnitude / 60));
    e.push_back(bcd(magnitude % 60));
    append(e, change);
    unsigned next = unsigned(next_minutes < 0 ? -next_minutes : next_minutes);
    e.push_back(bcd(next / 60));
    e.push_back(bcd(next % 60));
    return e;
}

inline Bytes tot_section(const Bytes& time, const Bytes& descriptors)
{
    Bytes s { 0x73, 0, 0 };
    append(s, time);
    append(s, loop(descriptors));
    const size_t length = s.size() - 3 + 4;
    s[1] = uint8_t(0x70 | (length >> 8));
    s[2] = uint8_t(length);
    put_crc(s);
    return s;
}

// Packets of one PID carrying the sections back to back from the first packet's pointer field 0,
// the last packet filled with stuffing. `continuity` goes on from call to call.
inline Bytes packetise(unsigned pid, const Bytes& sections, uint8_t& continuity)
{
    Bytes out;
    size_t at = 0;
    bool first = true;
    while (at < sections.size() || first) {
        Bytes p { 0x47, uint8_t((first ? 0x40 : 0) | (pid >> 8)), uint8_t(pid), uint8_t(0x10 | (continuity++ & 0x0F)) };
        if (first)
            p.push_back(0);
        size_t take = std::min(sections.size() - at, 188 - p.size());
        p.insert(p.end(), sections.begin() + long(at), sections.begin() + long(at + take));
        at += take;
        p.resize(188, 0xFF);
        append(out, p);
        first = false;
    }
    return out;
}

} // namespace kivo::test
