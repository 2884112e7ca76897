// What the PSI/SI parser takes comes off the air: any bytes, as transport packets or as whole
// sections, must decode into records whose every list ends and whose texts lie inside what came,
// or be dropped; times must be real times. The first byte picks the form: even, packets (each
// 188-byte block gets its sync byte, so the fuzzer need not find it); odd, sections back to back.

#include "PsiSections.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct CheckingSink final : kivo::PsiSink {
    unsigned sum = 0;

    // Reads every byte of a text, so a text past the section shows under the sanitizer.
    void touch(const uint8_t* text, size_t length)
    {
        if (length > 0 && !text)
            std::abort();
        for (size_t i = 0; i < length; ++i)
            sum += text[i];
    }
    static void check_time(const SYSTEMTIME& t, bool may_be_zero)
    {
        if (may_be_zero && t.wYear == 0 && t.wMonth == 0 && t.wDay == 0)
            return;
        if (t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 || t.wDay > 31 || t.wDayOfWeek > 6 || t.wHour > 23 || t.wMinute > 59
            || t.wSecond > 59)
            std::abort();
    }
    static void check_duration(const SYSTEMTIME& t)
    {
        if (t.wMinute > 59 || t.wSecond > 59 || t.wYear || t.wMonth || t.wDay)
            std::abort();
    }

    void record(DWORD code, void* record) override
    {
        switch (code) {
        case PSI_RECORD_PAT:
            for (auto* p = static_cast<PsiPat*>(record)->programs; p; p = p->next)
                sum += p->pmt_pid;
            break;
        case PSI_RECORD_PMT:
            for (auto* s = static_cast<PsiPmt*>(record)->streams; s; s = s->next) {
                for (auto* l = s->languages; l; l = l->next)
                    sum += uint8_t(l->language[0]);
                if (s->identifiers)
                    for (auto* i = s->identifiers->first; i; i = i->next)
                        sum += i->component_tag;
                if (s->teletext)
                    for (auto* t = s->teletext->first; t; t = t->next)
                        sum += t->page_number;
                if (s->subtitles)
                    for (auto* t = s->subtitles->first; t; t = t->next)
                        sum += t->composition_page_id;
            }
            break;
        case PSI_RECORD_SDT:
            for (auto* s = static_cast<PsiSdt*>(record)->services; s; s = s->next)
                for (auto* d = s->service_descriptor; d; d = d->next) {
                    touch(d->provider_name, d->provider_name_length);
                    touch(d->service_name, d->service_name_length);
                }
            break;
        case PSI_RECORD_EIT:
            for (auto* e = static_cast<PsiEit*>(record)->events; e; e = e->next) {
                check_time(e->start, true);
                check_duration(e->duration);
                for (auto* s = e->short_event; s; s = s->next) {
                    touch(s->name, s->name_length);
                    touch(s->text, s->text_length);
                }
                for (auto* x = e->extended_events; x; x = x->next)
                    touch(x->text, x->text_length);
                for (auto* r = e->rating; r; r = r->next)
                    sum += r->rating;
            }
            break;
        case PSI_RECORD_TDT:
            check_time(static_cast<PsiTdt*>(record)->utc, false);
            break;
        case PSI_RECORD_TOT: {
            auto* tot = static_cast<PsiTot*>(record);
            check_time(tot->utc, false);
            if (tot->offsets)
                for (auto* o = tot->offsets->first; o; o = o->next) {
                    check_time(o->time_of_change, false);
                    if (o->offset_minutes < -99 * 60 - 99 || o->offset_minutes > 99 * 60 + 99)
                        std::abort();
                }
            break;
        }
        default:
            std::abort();
        }
    }
    void dropped(const std::string& why) override
    {
        if (why.rfind("psi: ", 0) != 0)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CheckingSink sink;
    kivo::PsiDecoder decoder(sink);
    std::vector<uint8_t> bytes(data + 1, data + size);
    if (data[0] % 2 == 0) {
        kivo::SectionAssembler assembler(decoder, sink);
        for (size_t at = 0; at < bytes.size(); at += kivo::ts_packet_size)
            bytes[at] = 0x47;
        assembler.packets(bytes.data(), bytes.size());
        // Again after a clear, so the forgetting runs too.
        decoder.forget_versions();
        assembler.reset();
        assembler.packets(bytes.data(), bytes.size());
    } else {
        decoder.sections(bytes.data(), bytes.size());
        decoder.forget_all();
        decoder.sections(bytes.data(), bytes.size());
    }
    return 0;
}
