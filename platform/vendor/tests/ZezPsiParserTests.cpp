#include "ZezPsiParser.h"

#include "ComApi.h"
#include "ComClassTable.h"
#include "KernelApi.h"
#include "PsiTestSections.h"
#include "TestDevice.h"
#include "VendorFilters.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kivo;
using namespace kivo::test;

namespace {

// What the program's callback saw: the code, a line of the record's values, and whether it ran on
// the program's own thread.
struct Received {
    DWORD code;
    std::string values;
    bool on_program_thread;
};

struct Receiver {
    DWORD program_thread = 0;
    std::vector<Received> seen;
};

int receive(DWORD code, void* record, void* context)
{
    auto& receiver = *static_cast<Receiver*>(context);
    std::string values;
    if (code == PSI_RECORD_PAT) {
        auto* pat = static_cast<PsiPat*>(record);
        values = std::to_string(pat->transport_stream_id);
        for (auto* p = pat->programs; p; p = p->next)
            values += " " + std::to_string(p->program_number) + ":" + std::to_string(p->pmt_pid);
    } else if (code == PSI_RECORD_SDT) {
        auto* sdt = static_cast<PsiSdt*>(record);
        for (auto* s = sdt->services; s; s = s->next)
            values += std::to_string(s->service_id) + " ";
    } else if (code == PSI_RECORD_TDT) {
        auto& t = static_cast<PsiTdt*>(record)->utc;
        values = std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" + std::to_string(t.wSecond);
    }
    receiver.seen.push_back({ code, values, GetCurrentThreadId() == receiver.program_thread });
    return 1;
}

struct ZezPsiParserTest : ::testing::Test {
    std::unique_ptr<Device> device = make_test_device();

    // Runs `body` in a program with the parser made from the class table, paused, and the
    // receiver set as its callback.
    void run(const std::function<void(ZezPsiParser&, IBaseFilter*, Receiver&)>& body)
    {
        install_vendor_filters(*device);
        device->programs().add(u"\\tv.exe", [&](std::u16string_view) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            {
                ComRef<IBaseFilter> filter;
                HRESULT made = CoCreateInstance(CLSID_Zez_PsiParser3, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put());
                EXPECT_EQ(made, S_OK);
                if (SUCCEEDED(made)) {
                    auto* parser = static_cast<ZezPsiParser*>(Filter::from(filter.get()));
                    Receiver receiver;
                    receiver.program_thread = GetCurrentThreadId();
                    EXPECT_EQ(parser->SetReceiveCallback(receive, &receiver), S_OK);
                    parser->Pause();
                    body(*parser, filter.get(), receiver);
                    parser->Stop();
                }
            }
            CoUninitialize();
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(u"\\tv.exe", u"", error));
        device->advance(10'000);
    }

    // Hands the bytes in and lets the parser's thread take them.
    static void give(ZezPsiParser& parser, const Bytes& bytes)
    {
        EXPECT_EQ(parser.inject(bytes), S_OK);
        Sleep(20);
    }
};

std::vector<unsigned long> codes(const Receiver& receiver)
{
    std::vector<unsigned long> result;
    for (auto& r : receiver.seen)
        result.push_back(r.code);
    return result;
}

} // namespace

TEST_F(ZezPsiParserTest, ItsPinInterfacesAndControlSideAreThere)
{
    run([&](ZezPsiParser& parser, IBaseFilter* filter, Receiver& receiver) {
        EXPECT_EQ(parser.default_name(), u"ZEZ PSI Parser3");
        ComRef<IPin> input;
        EXPECT_EQ(filter->FindPin(u"Input", reinterpret_cast<IPin**>(input.put())), S_OK);
        ComRef<IReceiveCallback> callbacks;
        ComRef<IPsiParserControl> control;
        ASSERT_EQ(filter->QueryInterface(IID_IReceiveCallback, reinterpret_cast<void**>(callbacks.put())), S_OK);
        ASSERT_EQ(filter->QueryInterface(IID_IPsiParserControl, reinterpret_cast<void**>(control.put())), S_OK);

        ReceiveCallback callback = nullptr;
        void* context = nullptr;
        EXPECT_EQ(callbacks->GetReceiveCallback(&callback, &context), S_OK);
        EXPECT_EQ(callback, &receive);
        EXPECT_EQ(context, &receiver);
        EXPECT_EQ(callbacks->GetReceiveCallback(nullptr, &context), E_POINTER);
        EXPECT_EQ(control->ClearTables(7), E_INVALIDARG);
        EXPECT_EQ(control->ClearTables(0), S_OK);

        parser.force_result(ZezPsiParser::Operation::SetReceiveCallback, E_FAIL);
        EXPECT_EQ(callbacks->SetReceiveCallback(nullptr, nullptr), E_FAIL);
        parser.clear_forced_results();
        EXPECT_EQ(callbacks->GetReceiveCallback(&callback, &context), S_OK);
        EXPECT_EQ(callback, &receive) << "a forced failure changed the callback";

        auto calls = parser.calls();
        ASSERT_EQ(calls.size(), 7u);
        EXPECT_EQ(calls[3].operation, ZezPsiParser::Operation::ClearTables);
        EXPECT_EQ(calls[3].result, E_INVALIDARG);
        EXPECT_EQ(calls[5].operation, ZezPsiParser::Operation::SetReceiveCallback);
        EXPECT_EQ(calls[5].result, E_FAIL);
    });
}

TEST_F(ZezPsiParserTest, TablesComeOnItsOwnThreadOnceAVersionAndAgainAfterAClear)
{
    run([&](ZezPsiParser& parser, IBaseFilter*, Receiver& receiver) {
        uint8_t cc_pat = 0, cc_sdt = 0, cc_tdt = 0;
        const Bytes pat = pat_section(0x77, 1, { { 0, 16 }, { 5, 0x105 } });
        Bytes stream = packetise(0, pat, cc_pat);
        append(stream, packetise(17, sdt_section(0x77, 1, 0, sdt_service(5, 1, text("P"), text("Five"))), cc_sdt));
        append(stream, packetise(20, tdt_section(utc(2026, 12, 11, 8, 30, 0)), cc_tdt));
        give(parser, stream);
        ASSERT_EQ(codes(receiver), (std::vector<unsigned long> { 1, 4, 6 }));
        EXPECT_EQ(receiver.seen[0].values, "119 0:16 5:261");
        EXPECT_EQ(receiver.seen[1].values, "5 ");
        EXPECT_EQ(receiver.seen[2].values, "8:30:0");
        for (auto& r : receiver.seen)
            EXPECT_FALSE(r.on_program_thread) << "code " << r.code;

        // The same PAT again: nothing; the time: each time; whole sections come as they are.
        give(parser, packetise(0, pat, cc_pat));
        give(parser, tdt_section(utc(2026, 12, 11, 8, 30, 1)));
        ASSERT_EQ(codes(receiver), (std::vector<unsigned long> { 1, 4, 6, 6 }));
        EXPECT_EQ(receiver.seen[3].values, "8:30:1");

        EXPECT_EQ(parser.ClearTables(0), S_OK);
        give(parser, packetise(0, pat, cc_pat));
        EXPECT_EQ(codes(receiver), (std::vector<unsigned long> { 1, 4, 6, 6, 1 }));

        // Without a callback nothing is called; the versions still count.
        EXPECT_EQ(parser.SetReceiveCallback(nullptr, nullptr), S_OK);
        give(parser, pat_section(0x77, 2, { { 5, 0x106 } }));
        EXPECT_EQ(receiver.seen.size(), 5u);
    });
}

TEST_F(ZezPsiParserTest, BadSectionsLeaveADebugLineAndClear255DropsHalfSections)
{
    run([&](ZezPsiParser& parser, IBaseFilter*, Receiver& receiver) {
        Bytes bad = pat_section(1, 0, { { 1, 0x100 } });
        bad.back() ^= 0x01;
        give(parser, bad);
        EXPECT_TRUE(receiver.seen.empty());

        // An SDT over three packets: the first, a clear of everything, then the rest.
        Bytes services;
        for (unsigned id = 1; id <= 12; ++id)
            append(services, sdt_service(id, 1, text("Provider"), text("Service number " + std::to_string(id))));
        uint8_t cc = 0;
        Bytes packets = packetise(17, sdt_section(2, 2, 0, services), cc);
        ASSERT_GE(packets.size(), 3 * 188u);
        give(parser, Bytes(packets.begin(), packets.begin() + 188));
        EXPECT_EQ(parser.ClearTables(255), S_OK);
        Sleep(20);
        give(parser, Bytes(packets.begin() + 188, packets.end()));
        EXPECT_TRUE(receiver.seen.empty()) << "a half section outlived the clear";
        give(parser, packets);
        EXPECT_EQ(codes(receiver), std::vector<unsigned long> { 4 });

        parser.Stop();
        EXPECT_EQ(parser.inject(packets), VFW_E_WRONG_STATE);
    });
    auto lines = debug_lines(*device);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "psi: PAT section dropped: bad CRC"), lines.end());
}
