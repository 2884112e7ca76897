#pragma once

// The one place that knows the Bluetooth manager "ZolManagerU.dll": it loads the library by name,
// looks up every exported entry, and offers a wrapper for each entry the phone link calls. A
// wrapper whose entry is missing (no library, or a library without that name) calls nothing and
// answers the entry's missing value: MANAGER_ENTRY_MISSING (2009) for most, 0 for the Bluetooth
// power and volume calls. It also turns a ManagerResult into the id of its language text and shows
// that text in the message dialog.
//
// The wrapper holds no lock: the interface thread and the download, file and search threads call
// the manager through it at once, and the manager accepts concurrent calls.

#include "ZolManagerU.h"

class CWnd;

#include <array>
#include <cstddef>
#include <string_view>

class CZolManagerAPI {
public:
    CZolManagerAPI() = default;
    virtual ~CZolManagerAPI();
    CZolManagerAPI(const CZolManagerAPI&) = delete;
    CZolManagerAPI& operator=(const CZolManagerAPI&) = delete;

    // 1 when the library is loaded (a second call looks nothing up again); 0 after showing the
    // platform's message box "Load ZolManagerU.dll fail". keepLoaded leaves the library loaded when
    // the wrapper goes.
    int Load(bool keepLoaded);
    // Frees the library and forgets every entry.
    void Unload();

    // The LangStringId of a result: 0 for success (1), 14038 for a code without a text of its own.
    static int ErrorStringId(int code);
    // Shows the text of a result in the message dialog and returns when the user has closed it;
    // nothing for success. Runs its modal loop on whichever thread calls it. A screen that keeps
    // itself on top gives itself as the owner, so that the dialog shows above it.
    static void ShowError(int code, CWnd* owner = nullptr);

    int ManagerInitial(ZolStartFn start);
    int ManagerClose();
    int GPRSConnection();
    int GPRSDisconnection();
    int DeviceInitial();
    int DeviceClose();
    int DeviceInquiry(InquiryFn found);
    int DeviceInquiryStop();
    int DevicePair(int addressLow, int addressHigh, const WCHAR* pin, BYTE* out);
    int ActivateMobile(int addressLow, int addressHigh);
    int DeleteDefaultPhone(int addressLow, int addressHigh);
    int GetContactsEx(const char* storage, BYTE** entries, int* count, ManagerProgressFn progress);
    // 1 whatever the manager answers (a null buffer is the manager's to accept).
    int ReleaseMemory(void* buffer);
    int GetSMSs(SmsRecord** records, int* count, void* extra, ManagerProgressFn progress);
    int FileTransferGetFileList(FileEntry folder, FileEntry** list, int* count);
    int FileTransferGetFile(GetFileRequest** requests, int count, ManagerProgressFn progress);
    // Without the entry nothing is registered.
    void SetConnectStatusCallBack(ConnectStatusFn status);
    int ConnectMobile();
    int DisconnectMobile();
    int Dial(const WCHAR* number);
    int DialDTMF(const WCHAR* digits);
    int ReDial();
    int HFInitial();
    int HFAudioConnect(int on);
    int GetHFStatus(BYTE* audioOn);
    int AnswerCall();
    int HangupCall();
    int SetIncomingframeCallBack(CallStatusFn callStatus, IncomingSmsFn incomingSms);
    int GetPhoneSupportFun(PhoneSupportFun* out);
    // These three answer 0 (refused, Bluetooth off) without their entry.
    int SetDeviceVol(int device, int value);
    int SetBTPower(int on);
    int GetBTPower();
    int TransferAudio(int value);

private:
    // The index of an entry in the lookup order, checked while compiling.
    static consteval size_t EntryIndex(std::u16string_view name)
    {
        for (size_t i = 0; i < ZOL_ENTRY_NAMES.size(); ++i)
            if (name == ZOL_ENTRY_NAMES[i])
                return i;
        throw "not an entry of the manager";
    }

    template<typename Entry, size_t Index, typename Missing, typename... Args>
    auto Call(Missing missing, Args... args) const
    {
        auto entry = reinterpret_cast<Entry>(m_entries[Index]);
        return entry ? entry(args...) : missing;
    }

    HMODULE m_hModule = nullptr;
    bool m_bFreeOnDestroy = true;
    // One per exported name, in the lookup order; null while not loaded or when the library lacks it.
    std::array<FARPROC, ZOL_ENTRY_NAMES.size()> m_entries {};
};
