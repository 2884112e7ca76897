#include "kernel/tests/TestDevice.h"

#include "ComApi.h"
#include "ComClassTable.h"
#include "ComObject.h"
#include "KernelApi.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

using namespace kivo;
using namespace kivo::test;

// Two interfaces of a test class, to show what the helper base answers for each.
struct IDial : IUnknown {
    virtual int STDMETHODCALLTYPE Position() = 0;
};
struct ILamp : IUnknown {
    virtual bool STDMETHODCALLTYPE Lit() = 0;
};
inline constexpr IID IID_IDial = kivo::guid("{5C1D0E2A-7B44-4F3C-9E61-2A8D3F7B9C01}");
inline constexpr IID IID_ILamp = kivo::guid("{5C1D0E2A-7B44-4F3C-9E61-2A8D3F7B9C02}");
inline constexpr IID IID_INeverImplemented = kivo::guid("{5C1D0E2A-7B44-4F3C-9E61-2A8D3F7B9C03}");
KIVO_INTERFACE_ID(IDial, IID_IDial);
KIVO_INTERFACE_ID(ILamp, IID_ILamp);

DEFINE_GUID(CLSID_Panel, 0x9A3F6B10, 0x44C2, 0x4E7D, 0x8B, 0x15, 0x6C, 0x02, 0xD9, 0xE4, 0x71, 0xA8);
inline constexpr CLSID CLSID_Unregistered = kivo::guid("{9A3F6B10-44C2-4E7D-8B15-6C02D9E471A9}");

// The two ways of writing an id agree, field by field.
static_assert(CLSID_Panel == kivo::guid("{9A3F6B10-44C2-4E7D-8B15-6C02D9E471A8}"));
static_assert(!IsEqualGUID(CLSID_Panel, CLSID_Unregistered));
// Platform errors become results in the platform's own encoding.
static_assert(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) == E_ACCESSDENIED);
static_assert(HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY) == E_OUTOFMEMORY);
static_assert(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER) == E_INVALIDARG);
static_assert(HRESULT_FROM_WIN32(ERROR_SUCCESS) == S_OK);
static_assert(SUCCEEDED(S_FALSE) && SUCCEEDED(VFW_S_PARTIAL_RENDER) && FAILED(VFW_E_INVALID_FILE_FORMAT));

namespace {

class Panel final : public ComObject<IDial, ILamp> {
public:
    int STDMETHODCALLTYPE Position() override { return 7; }
    bool STDMETHODCALLTYPE Lit() override { return true; }
};

class ComTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_device = make_test_device();
        classes().add(CLSID_Panel, [] { return new Panel; });
    }

    ComClassTable& classes() { return m_device->component<ComClassTable>(); }

    // Starts a program whose main thread runs `body`; answers once every thread is idle.
    void run_program(const std::u16string& image, std::function<void()> body)
    {
        m_device->programs().add(image, [body = std::move(body)](std::u16string_view) {
            body();
            return 0;
        });
        PROCESS_INFORMATION info;
        ASSERT_TRUE(CreateProcess(image.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        m_device->run_until_idle();
    }

    std::unique_ptr<Device> m_device;
};

// Makes a panel and gives the reference back; the object pointer is null exactly on failure.
HRESULT create_panel()
{
    void* object = reinterpret_cast<void*>(0x1); // must be overwritten either way
    HRESULT result = CoCreateInstance(CLSID_Panel, nullptr, CLSCTX_INPROC_SERVER, IID_IDial, &object);
    EXPECT_EQ(object == nullptr, FAILED(result));
    if (object)
        static_cast<IDial*>(object)->Release();
    return result;
}

// Runs `body` on a new thread of the calling process and waits for it.
void on_other_thread(std::function<void()> body)
{
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID parameter) -> DWORD {
            (*static_cast<std::function<void()>*>(parameter))();
            return 0;
        },
        &body, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

} // namespace

TEST_F(ComTest, CreatingNeedsThisThreadInitialisedOrTheMultithreadedModelHeldInItsProcess)
{
    struct Case {
        const char* name;
        std::function<HRESULT()> body; // runs on the main thread of a fresh process
        HRESULT expected;
    };
    const Case cases[] = {
        { "never initialised", [] { return create_panel(); }, CO_E_NOTINITIALIZED },
        { "single-threaded apartment on this thread",
            [] {
                CoInitialize(nullptr);
                return create_panel();
            },
            S_OK },
        { "multithreaded on this thread",
            [] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                return create_panel();
            },
            S_OK },
        { "multithreaded held by another thread of the process",
            [] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                HRESULT result = E_UNEXPECTED;
                on_other_thread([&] { result = create_panel(); });
                return result;
            },
            S_OK },
        { "only a single-threaded apartment on another thread of the process",
            [] {
                CoInitialize(nullptr);
                HRESULT result = E_UNEXPECTED;
                on_other_thread([&] { result = create_panel(); });
                return result;
            },
            CO_E_NOTINITIALIZED },
        { "multithreaded held by a thread of the process that has ended",
            [] {
                on_other_thread([] { CoInitializeEx(nullptr, COINIT_MULTITHREADED); });
                return create_panel();
            },
            CO_E_NOTINITIALIZED },
        { "after the last of two CoUninitialize",
            [] {
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                CoUninitialize();
                if (create_panel() != S_OK)
                    return E_UNEXPECTED;
                CoUninitialize();
                return create_panel();
            },
            CO_E_NOTINITIALIZED },
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HRESULT result = E_UNEXPECTED;
        run_program(u"\\case" + std::u16string(1, char16_t(u'a' + index++)) + u".exe", [&] { result = c.body(); });
        EXPECT_EQ(result, c.expected);
    }
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 0);
}

TEST_F(ComTest, TheMultithreadedModelOfAnotherProcessDoesNotCount)
{
    HANDLE release = CreateEvent(nullptr, TRUE, FALSE, u"release holder");
    run_program(u"\\holder.exe", [] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        HANDLE event = CreateEvent(nullptr, TRUE, FALSE, u"release holder");
        WaitForSingleObject(event, INFINITE);
        CloseHandle(event);
        CoUninitialize();
    });
    HRESULT result = E_UNEXPECTED;
    run_program(u"\\other.exe", [&] { result = create_panel(); });
    EXPECT_EQ(result, CO_E_NOTINITIALIZED);
    SetEvent(release);
    CloseHandle(release);
    m_device->run_until_idle();
}

TEST_F(ComTest, InitialisingAgainAnswersFalseAndTheOtherModelIsRefused)
{
    std::vector<HRESULT> results;
    run_program(u"\\init.exe", [&] {
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        results.push_back(CoInitialize(nullptr));
        int reserved = 0;
        results.push_back(CoInitializeEx(&reserved, COINIT_MULTITHREADED));
        CoUninitialize();
        CoUninitialize();
        // Fully uninitialised, the thread may choose again.
        results.push_back(CoInitialize(nullptr));
        CoUninitialize();
    });
    EXPECT_EQ(results, (std::vector<HRESULT> { S_OK, S_FALSE, RPC_E_CHANGED_MODE, E_INVALIDARG, S_OK }));
}

TEST_F(ComTest, CreationFailuresLeaveNoObjectAndNothingAlive)
{
    struct Case {
        const char* name;
        CLSID clsid;
        bool aggregate;
        DWORD context;
        IID iid;
        HRESULT expected;
    };
    const Case cases[] = {
        { "unknown class", CLSID_Unregistered, false, CLSCTX_INPROC_SERVER, IID_IDial, REGDB_E_CLASSNOTREG },
        { "aggregation", CLSID_Panel, true, CLSCTX_INPROC_SERVER, IID_IUnknown, CLASS_E_NOAGGREGATION },
        { "out of process only", CLSID_Panel, false, CLSCTX_LOCAL_SERVER, IID_IDial, REGDB_E_CLASSNOTREG },
        { "interface the class lacks", CLSID_Panel, false, CLSCTX_INPROC, IID_INeverImplemented, E_NOINTERFACE },
    };
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    Panel outer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        void* object = &outer;
        EXPECT_EQ(CoCreateInstance(c.clsid, c.aggregate ? static_cast<IDial*>(&outer) : nullptr, c.context, c.iid, &object), c.expected);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(classes().live_objects(c.clsid), 0);
    }
    EXPECT_EQ(CoCreateInstance(CLSID_Panel, nullptr, CLSCTX_INPROC_SERVER, IID_IDial, nullptr), E_POINTER);
}

TEST_F(ComTest, AnInjectedFailureHoldsUntilCleared)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    classes().fail(CLSID_Panel, E_OUTOFMEMORY);
    EXPECT_EQ(create_panel(), E_OUTOFMEMORY);
    EXPECT_EQ(create_panel(), E_OUTOFMEMORY);
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 0);
    // A class a stand-in has not added yet can be made to fail as well.
    classes().fail(CLSID_Unregistered, VFW_E_NOT_FOUND);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), VFW_E_NOT_FOUND);

    classes().clear_failure(CLSID_Panel);
    EXPECT_EQ(create_panel(), S_OK);
}

TEST_F(ComTest, InterfacesOfOneObjectShareItsIdentityAndItsCount)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IDial* dial = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Panel, nullptr, CLSCTX_INPROC_SERVER, IID_IDial, reinterpret_cast<void**>(&dial)), S_OK);
    EXPECT_EQ(dial->Position(), 7);

    ILamp* lamp = nullptr;
    ASSERT_EQ(dial->QueryInterface(IID_ILamp, reinterpret_cast<void**>(&lamp)), S_OK);
    EXPECT_TRUE(lamp->Lit());
    IUnknown* from_dial = nullptr;
    IUnknown* from_lamp = nullptr;
    ASSERT_EQ(dial->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&from_dial)), S_OK);
    ASSERT_EQ(lamp->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&from_lamp)), S_OK);
    EXPECT_EQ(from_dial, from_lamp);

    void* missing = &lamp;
    EXPECT_EQ(lamp->QueryInterface(IID_INeverImplemented, &missing), E_NOINTERFACE);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(dial->QueryInterface(IID_ILamp, nullptr), E_POINTER);

    // Four references now: the creation's and three queries'; a failed query took none.
    EXPECT_EQ(from_lamp->Release(), 3u);
    EXPECT_EQ(from_dial->Release(), 2u);
    EXPECT_EQ(lamp->Release(), 1u);
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 1);
    EXPECT_EQ(dial->Release(), 0u);
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 0);
}

TEST_F(ComTest, LiveObjectsAreCountedPerClassUntilTheirLastRelease)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Panel, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&first)), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_Panel, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 2);
    // A panel made without the table is not the table's to count.
    auto* own = new Panel;
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 2);
    own->Release();

    first->AddRef();
    first->Release();
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 2);
    first->Release();
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 1);
    second->Release();
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 0);
}

TEST_F(ComTest, ReferencesTakenAndGivenOnTwoThreadsAtOnceKeepTheCountExact)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IDial* dial = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Panel, nullptr, CLSCTX_INPROC_SERVER, IID_IDial, reinterpret_cast<void**>(&dial)), S_OK);
    // The object's users run on host threads of their own here (the real clock's parallelism):
    // IUnknown's operations take no layer lock and never block.
    auto churn = [dial] {
        for (int i = 0; i < 100000; ++i) {
            dial->AddRef();
            dial->Release();
        }
    };
    std::thread a(churn);
    std::thread b(churn);
    a.join();
    b.join();
    EXPECT_EQ(dial->AddRef(), 2u);
    EXPECT_EQ(dial->Release(), 1u);
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 1);
    EXPECT_EQ(dial->Release(), 0u);
    EXPECT_EQ(classes().live_objects(CLSID_Panel), 0);
}
