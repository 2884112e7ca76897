#include "LiveBlocks.h"
#include "cCountry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr ULONG english = 'e' | 'n' << 8 | 'g' << 16;

struct PlannedStream {
    BYTE type;
    WORD pid;
    bool teletext = false;
    bool subtitle = false;
};

// A subtitle record tells its stream by its page ids, so a test sees which stream it came from.
PsiSubtitleRecord* subtitle_record_for(WORD pid)
{
    auto* record = new PsiSubtitleRecord {};
    record->language = english;
    record->subtitling_type = 0x10;
    record->composition_page_id = static_cast<uint16_t>(pid + 1);
    record->ancillary_page_id = static_cast<uint16_t>(pid + 2);
    return record;
}

void add_streams(cService& service, const std::vector<PlannedStream>& planned)
{
    for (auto const& wanted : planned) {
        cService::STREAM stream;
        stream.m_byType = wanted.type;
        stream.m_wPid = wanted.pid;
        if (wanted.teletext)
            stream.m_pTeletext = new PsiTeletextRecord {};
        if (wanted.subtitle)
            stream.m_pSubtitle = subtitle_record_for(wanted.pid);
        service.m_Streams.push_back(stream);
    }
}

TEST(ServiceStreams, QueriesOfEachStreamSet)
{
    struct Case {
        const char* name;
        std::vector<PlannedStream> streams;
        int audioIndex;
        WORD video;
        WORD audio;
        int audioCount;
        WORD teletext;
        WORD subtitle;
    };
    const Case cases[] = {
        { "video and two audio streams, the second selected", { { 2, 0x100 }, { 3, 0x101 }, { 4, 0x102 } }, 1,
            0x100, 0x102, 2, 0, 0 },
        { "one audio stream of type 15", { { 15, 0x200 } }, 0, 0, 0x200, 1, 0, 0 },
        { "type 128 among streams that are neither video nor audio", { { 0x1B, 0x300 }, { 6, 0x301, true }, { 128, 0x302 }, { 1, 0x303 } }, 0,
            0x303, 0x302, 1, 0x301, 0 },
        { "the first video stream; audio counted over every audio type in list order",
            { { 1, 0x400 }, { 2, 0x401 }, { 3, 0x402 }, { 15, 0x403 }, { 128, 0x404 }, { 4, 0x405 } }, 3,
            0x400, 0x405, 4, 0, 0 },
        { "two private-data streams, teletext on the first and subtitles on the second",
            { { 6, 0x500, true }, { 6, 0x501, false, true } }, 0, 0, 0, 0, 0x500, 0x501 },
        { "records count only on private-data streams",
            { { 5, 0x600, true, true }, { 6, 0x601 }, { 6, 0x602, false, true }, { 6, 0x603, true } }, 0,
            0, 0, 0, 0x603, 0x602 },
        { "the first of two subtitle streams", { { 6, 0x700, false, true }, { 6, 0x701, true, true } }, 0,
            0, 0, 0, 0x701, 0x700 },
        { "audio index past the end", { { 2, 0x800 }, { 3, 0x801 }, { 4, 0x802 } }, 2, 0x800, 0, 2, 0, 0 },
        { "negative audio index", { { 3, 0x900 } }, -2, 0, 0, 1, 0, 0 },
        { "no streams", {}, 0, 0, 0, 0, 0, 0 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        cService service(nullptr, 1);
        add_streams(service, c.streams);
        EXPECT_EQ(service.SelectAudio(c.audioIndex), c.audioIndex);

        EXPECT_EQ(service.VideoPID(), c.video);
        EXPECT_EQ(service.AudioPID(), c.audio);
        EXPECT_EQ(service.NumberOfAudio(), c.audioCount);
        EXPECT_EQ(service.TeletextPID(), c.teletext);
        EXPECT_EQ(service.SubtitlePID(), c.subtitle);

        ULONG type = 0xDEAD, composition = 0xDEAD, ancillary = 0xDEAD, language = 0xDEAD;
        int found = service.SubtitleParam(&type, &composition, &ancillary, &language);
        if (c.subtitle) {
            EXPECT_EQ(found, 1);
            EXPECT_EQ(type, 0x10u);
            EXPECT_EQ(composition, c.subtitle + 1u);
            EXPECT_EQ(ancillary, c.subtitle + 2u);
            EXPECT_EQ(language, english);
        } else {
            EXPECT_EQ(found, 0);
            EXPECT_EQ(type, 0xDEADu);
            EXPECT_EQ(composition, 0xDEADu);
            EXPECT_EQ(ancillary, 0xDEADu);
            EXPECT_EQ(language, 0xDEADu);
        }
    }
}

TEST(ServiceStreams, SelectAudioMinusOneCyclesThroughTheAudioStreams)
{
    cService service(nullptr, 1);
    add_streams(service, { { 2, 0x100 }, { 3, 0x101 }, { 6, 0x102, true }, { 4, 0x103 }, { 15, 0x104 } });

    std::vector<int> indexes;
    std::vector<WORD> pids;
    for (int step = 0; step < 4; ++step) {
        indexes.push_back(service.SelectAudio(-1));
        pids.push_back(service.AudioPID());
    }
    EXPECT_EQ(indexes, (std::vector<int> { 1, 2, 0, 1 }));
    EXPECT_EQ(pids, (std::vector<WORD> { 0x103, 0x104, 0x101, 0x103 }));

    // An index stored past the end steps back to the first stream.
    EXPECT_EQ(service.SelectAudio(7), 7);
    EXPECT_EQ(service.SelectAudio(-1), 0);
    EXPECT_EQ(service.AudioPID(), 0x101);
}

TEST(ServiceStreams, SelectAudioMinusOneStaysZeroWithoutAudio)
{
    cService service(nullptr, 1);
    add_streams(service, { { 2, 0x100 }, { 6, 0x101, true } });
    EXPECT_EQ(service.SelectAudio(-1), 0);
    EXPECT_EQ(service.SelectAudio(-1), 0);
    EXPECT_EQ(service.m_nAudioIndex, 0);
}

TEST(ServiceTree, CountryFindsTheFirstMatchOrAppends)
{
    cCountry country(u"Taiwan", 886);
    cTransportStream* first = country.TransportStream(21, 0x10);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_dwChannel, 21u);
    EXPECT_EQ(first->m_wTsid, 0x10);
    EXPECT_EQ(std::u16string(first->m_szName), u"");
    EXPECT_TRUE(first->m_Services.empty());

    EXPECT_EQ(country.TransportStream(21, 0x10), first);
    EXPECT_EQ(country.m_TransportStreams.size(), 1u);

    cTransportStream* second = country.TransportStream(21, 0x11);
    EXPECT_NE(second, first);
    EXPECT_EQ(country.m_TransportStreams.size(), 2u);
    cTransportStream* otherChannel = country.TransportStream(34, 0x10);
    EXPECT_EQ(otherChannel, country.m_TransportStreams.back().get());
    EXPECT_EQ(country.m_TransportStreams.size(), 3u);

    // With the same pair twice in the list, the earlier one is found.
    country.m_TransportStreams.push_back(std::make_unique<cTransportStream>(21, 0x11));
    EXPECT_EQ(country.TransportStream(21, 0x11), second);
    EXPECT_EQ(country.m_TransportStreams.size(), 4u);

    EXPECT_EQ(country.TransportStream(21), first);
    EXPECT_EQ(country.TransportStream(22), nullptr);
}

TEST(ServiceTree, TransportStreamFindsTheLastMatchOrAppends)
{
    cTransportStream stream(21, 0x10);
    cService* service = stream.Service(0x0201);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->m_pTransportStream, &stream);
    EXPECT_EQ(service->m_wServiceId, 0x0201);
    EXPECT_EQ(service->m_wPmtPid, 0);
    EXPECT_EQ(service->m_wIndex, 0);
    EXPECT_EQ(service->m_byType, 255);
    EXPECT_EQ(service->m_dwTeletextInitialMagazine, 1u);
    EXPECT_EQ(service->m_bDescribed, FALSE);
    EXPECT_EQ(std::u16string(service->m_szName), u"");

    EXPECT_EQ(stream.Service(0x0201), service);
    EXPECT_EQ(stream.m_Services.size(), 1u);
    cService* network = stream.Service(0);
    EXPECT_NE(network, service);
    EXPECT_EQ(stream.m_Services.size(), 2u);

    // With the same id twice in the list, the later one is found.
    auto& later = stream.m_Services.emplace_back(std::make_unique<cService>(&stream, 0x0201));
    EXPECT_EQ(stream.Service(0x0201), later.get());
    EXPECT_EQ(stream.m_Services.size(), 3u);
}

SYSTEMTIME at(WORD hour, WORD minute, WORD second, WORD milliseconds = 0, WORD year = 2026, WORD month = 12, WORD day = 11,
    WORD dayOfWeek = 5)
{
    return { year, month, dayOfWeek, day, hour, minute, second, milliseconds };
}

TEST(ServiceEvents, OrderByStartToTheSecond)
{
    struct Case {
        const char* name;
        SYSTEMTIME earlier;
        SYSTEMTIME later;
        bool ordered; // false: neither is earlier
    };
    const Case cases[] = {
        { "same minute, seconds decide", at(20, 15, 10), at(20, 15, 40), true },
        { "only the milliseconds differ", at(20, 15, 10, 0), at(20, 15, 10, 999), false },
        { "only the day of the week differs", at(20, 15, 10, 0, 2026, 12, 11, 1), at(20, 15, 10, 0, 2026, 12, 11, 6), false },
        { "the year before the month", at(23, 59, 59, 0, 2025, 12, 31), at(0, 0, 0, 0, 2026, 1, 1), true },
        { "the month before the day", at(12, 0, 0, 0, 2026, 3, 31), at(12, 0, 0, 0, 2026, 4, 1), true },
        { "the day before the hour", at(23, 0, 0, 0, 2026, 4, 1), at(0, 0, 0, 0, 2026, 4, 2), true },
        { "the hour before the minute", at(7, 59, 0), at(8, 0, 0), true },
        { "the minute before the second", at(7, 14, 59), at(7, 15, 0), true },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        cEvent::EVENT earlier, later;
        earlier.m_stStart = c.earlier;
        later.m_stStart = c.later;
        EXPECT_EQ(cEvent(&earlier) < cEvent(&later), c.ordered);
        EXPECT_FALSE(cEvent(&later) < cEvent(&earlier));
    }
}

TEST(ServiceEvents, SortingKeepsTiedEventsInArrivalOrder)
{
    cService service(nullptr, 1);
    const SYSTEMTIME starts[] = { at(20, 0, 30, 500), at(20, 0, 30, 0), at(20, 0, 10), at(19, 59, 59, 999) };
    for (WORD id = 0; id < 4; ++id) {
        auto* event = new cEvent::EVENT;
        event->m_wEventId = id;
        event->m_stStart = starts[id];
        service.m_Events.emplace_back(event);
    }
    service.m_Events.sort();
    std::vector<WORD> order;
    for (auto const& event : service.m_Events)
        order.push_back(event.m_pEvent->m_wEventId);
    EXPECT_EQ(order, (std::vector<WORD> { 3, 2, 0, 1 }));
}

TEST(TeletextPages, ClearingKeepsTheNumberControlBitsAndNationalOption)
{
    cTeletextPage page(42);
    page.m_dwControlBits = 0x110;
    page.m_dwNationalOption = 5;
    page.m_Rows[0][8] = 'P';
    page.m_Rows[25][39] = 'Z';
    page.m_Enhancement[24][3] = 0x41;
    page.m_dwReceived[25] = page.m_dwUpdated[0] = 1;
    page.m_dwReceived[30] = page.m_dwUpdated[31] = 1;
    page.m_dwActiveRow = 24;
    page.m_dwActiveColumn = 3;

    page.Clear();

    const cTeletextPage fresh(42);
    EXPECT_EQ(std::memcmp(page.m_Rows, fresh.m_Rows, sizeof page.m_Rows), 0);
    EXPECT_EQ(std::memcmp(page.m_Enhancement, fresh.m_Enhancement, sizeof page.m_Enhancement), 0);
    EXPECT_EQ(page.m_dwReceived[25], 0u);
    EXPECT_EQ(page.m_dwUpdated[0], 0u);
    EXPECT_EQ(page.m_dwActiveRow, 0u);
    EXPECT_EQ(page.m_dwActiveColumn, 0u);
    // Packets past the rows are not the page's contents.
    EXPECT_EQ(page.m_dwReceived[30], 1u);
    EXPECT_EQ(page.m_dwUpdated[31], 1u);
    EXPECT_EQ(page.m_dwPageNumber, 42u);
    EXPECT_EQ(page.m_dwControlBits, 0x110u);
    EXPECT_EQ(page.m_dwNationalOption, 5u);
}

TEST(TeletextPages, MagazineFindsTheFirstPageOfANumber)
{
    cTeletextMagazine magazine;
    EXPECT_EQ(magazine.Page(0), nullptr);
    cTeletextPage* first = magazine.AddPage(0);
    cTeletextPage* other = magazine.AddPage(1);
    cTeletextPage* again = magazine.AddPage(0);
    ASSERT_TRUE(first && other && again);
    EXPECT_EQ(magazine.m_Pages.size(), 3u);
    EXPECT_EQ(magazine.Page(0), first);
    EXPECT_EQ(magazine.Page(1), other);
    EXPECT_EQ(magazine.Page(99), nullptr);
    EXPECT_EQ(magazine.m_pCurrentPage, nullptr);
}

// Descriptor records as the parser's copies come: each kind a chain of two.
void add_full_stream(cService& service, BYTE type, WORD pid)
{
    cService::STREAM stream;
    stream.m_byType = type;
    stream.m_wPid = pid;
    stream.m_pLanguage = new PsiLanguageRecord { new PsiLanguageRecord {}, { 'e', 'n', 'g' }, 0 };
    stream.m_pIdentifier = new PsiStreamIdentifierRecord { new PsiStreamIdentifierRecord {}, 1 };
    stream.m_pTeletext = new PsiTeletextRecord { new PsiTeletextRecord {}, { 'e', 'n', 'g' }, 1, 1, 0x00 };
    stream.m_pSubtitle = subtitle_record_for(pid);
    stream.m_pSubtitle->next = subtitle_record_for(pid);
    service.m_Streams.push_back(stream);
}

WCHAR* new_text(const std::u16string& text)
{
    auto* copy = new WCHAR[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = 0;
    return copy;
}

void add_event(cService& service, WORD id)
{
    auto* event = new cEvent::EVENT;
    event->m_wEventId = id;
    event->m_pszName = new_text(u"News");
    event->m_pszShortText = new_text(u"Headlines");
    event->m_pszExtendedText = new_text(u"The day's news, then the weather.");
    service.m_Events.emplace_back(event);
}

void fill_service(cService& service)
{
    add_full_stream(service, 2, 0x100);
    add_full_stream(service, 6, 0x101);
    add_event(service, 1);
    add_event(service, 2);
    for (int magazine = 0; magazine < cService::TELETEXT_MAGAZINES; magazine += 3) {
        service.m_Teletext[magazine].AddPage(0);
        service.m_Teletext[magazine].m_pCurrentPage = service.m_Teletext[magazine].AddPage(1);
    }
}

void build_tree(cCountry& country)
{
    for (int channel = 21; channel <= 22; ++channel) {
        for (unsigned short tsid = 1; tsid <= 2; ++tsid) {
            cTransportStream* stream = country.TransportStream(channel, tsid);
            for (unsigned short id = 1; id <= 3; ++id)
                fill_service(*stream->Service(id));
        }
    }
}

TEST(ServiceTree, DestroyingACountryFreesItsWholeTree)
{
    auto before = live_blocks();
    auto country = std::make_unique<cCountry>(u"Taiwan", 886);
    build_tree(*country);
    auto built = live_blocks();
    country.reset();
    auto after = live_blocks();

    EXPECT_GT(built - before, 100);
    EXPECT_EQ(after, before);
}

TEST(ServiceTree, ClearingStreamsAndEventsFreesTheirRecords)
{
    cTransportStream stream(21, 1);
    cService* service = stream.Service(1);
    auto empty = live_blocks();
    add_full_stream(*service, 2, 0x100);
    add_full_stream(*service, 6, 0x101);
    add_event(*service, 1);
    service->ClearStreams();
    service->ClearEvents();
    auto cleared = live_blocks();

    EXPECT_TRUE(service->m_Streams.empty());
    EXPECT_TRUE(service->m_Events.empty());
    EXPECT_EQ(cleared, empty);
}

} // namespace
