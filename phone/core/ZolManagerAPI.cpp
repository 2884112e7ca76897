#include "ZolManagerAPI.h"

#include "SearchPairDlg.h"
#include "SkinControls.h"

#include "Skinkit.h"

namespace {

// Result codes by runs: code first + n has the text firstId + n.
struct ErrorTextRun {
    int first;
    int last;
    int firstId;
};

constexpr ErrorTextRun error_texts[] = {
    { MANAGER_OK, MANAGER_OK, 0 },
    { 100, 102, 14039 },
    { 200, 201, 14043 },
    { 500, 504, 14000 },
    { 800, 801, 14005 },
    { 803, 805, 14007 },
    { 807, 809, 14010 },
    { 1000, 1001, 14013 },
    { 2000, 2021, 14015 },
    { MANAGER_NO_CARD, MANAGER_NO_CARD, 30019 },
    { 3001, 3001, 30021 },
    { MANAGER_CARD_FULL, MANAGER_CARD_FULL, 30023 },
    { 9999, 9999, 14037 },
};
constexpr int unknown_error_text = 14038;

constexpr int missing = MANAGER_ENTRY_MISSING;

} // namespace

CZolManagerAPI::~CZolManagerAPI()
{
    if (m_bFreeOnDestroy && m_hModule)
        FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

int CZolManagerAPI::Load(bool keepLoaded)
{
    if (m_hModule)
        return 1;
    if (keepLoaded)
        m_bFreeOnDestroy = false;
    m_hModule = LoadLibrary(ZOL_MANAGER_LIBRARY);
    if (!m_hModule) {
        MessageBox(nullptr, u"Load ZolManagerU.dll fail", nullptr, MB_OK);
        return 0;
    }
    // A name the library lacks stays null; only its wrapper is affected.
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_entries[i] = GetProcAddress(m_hModule, ZOL_ENTRY_NAMES[i]);
    return 1;
}

void CZolManagerAPI::Unload()
{
    if (m_hModule)
        FreeLibrary(m_hModule);
    m_hModule = nullptr;
    // The library's code is gone: no wrapper may reach it any more.
    m_entries.fill(nullptr);
}

int CZolManagerAPI::ErrorStringId(int code)
{
    for (const auto& run : error_texts)
        if (code >= run.first && code <= run.last)
            return run.firstId + (code - run.first);
    return unknown_error_text;
}

void CZolManagerAPI::ShowError(int code, CWnd* owner)
{
    int id = ErrorStringId(code);
    if (id == 0)
        return;
    CSearchPairDlg dialog(owner);
    dialog.SetSkinFile(u"errmessagebox.ini", 0, nullptr);
    dialog.SetErrorText(LanguageText(id).c_str(), true);
    dialog.DoModal();
}

int CZolManagerAPI::ManagerInitial(ZolStartFn start)
{
    return Call<ZOL_ManagerInitial_t, EntryIndex(u"ZOL_ManagerInitial")>(missing, start);
}

int CZolManagerAPI::ManagerClose() { return Call<ZOL_ManagerClose_t, EntryIndex(u"ZOL_ManagerClose")>(missing); }
int CZolManagerAPI::GPRSConnection() { return Call<ZOL_GPRSConnection_t, EntryIndex(u"ZOL_GPRSConnection")>(missing); }
int CZolManagerAPI::GPRSDisconnection() { return Call<ZOL_GPRSDisconnection_t, EntryIndex(u"ZOL_GPRSDisconnection")>(missing); }
int CZolManagerAPI::DeviceInitial() { return Call<ZOL_DeviceInitial_t, EntryIndex(u"ZOL_DeviceInitial")>(missing); }
int CZolManagerAPI::DeviceClose() { return Call<ZOL_DeviceClose_t, EntryIndex(u"ZOL_DeviceClose")>(missing); }

int CZolManagerAPI::DeviceInquiry(InquiryFn found)
{
    return Call<ZOL_DeviceInquiry_t, EntryIndex(u"ZOL_DeviceInquiry")>(missing, found);
}

int CZolManagerAPI::DeviceInquiryStop() { return Call<ZOL_DeviceInquiryStop_t, EntryIndex(u"ZOL_DeviceInquiryStop")>(missing); }

int CZolManagerAPI::DevicePair(int addressLow, int addressHigh, const WCHAR* pin, BYTE* out)
{
    return Call<ZOL_DevicePair_t, EntryIndex(u"ZOL_DevicePair")>(missing, addressLow, addressHigh, pin, out);
}

int CZolManagerAPI::ActivateMobile(int addressLow, int addressHigh)
{
    return Call<ZOL_ActivateMobile_t, EntryIndex(u"ZOL_ActivateMobile")>(missing, addressLow, addressHigh);
}

int CZolManagerAPI::DeleteDefaultPhone(int addressLow, int addressHigh)
{
    return Call<ZOL_DeleteDefaultPhone_t, EntryIndex(u"ZOL_DeleteDefaultPhone")>(missing, addressLow, addressHigh);
}

int CZolManagerAPI::GetContactsEx(const char* storage, BYTE** entries, int* count, ManagerProgressFn progress)
{
    return Call<ZOL_GetContactsEx_t, EntryIndex(u"ZOL_GetContactsEx")>(missing, storage, entries, count, progress);
}

int CZolManagerAPI::ReleaseMemory(void* buffer)
{
    auto entry = reinterpret_cast<ZOL_ReleaseMemory_t>(m_entries[EntryIndex(u"ZOL_ReleaseMemory")]);
    if (!entry)
        return missing;
    entry(buffer);
    return MANAGER_OK;
}

int CZolManagerAPI::GetSMSs(SmsRecord** records, int* count, void* extra, ManagerProgressFn progress)
{
    return Call<ZOL_GetSMSs_t, EntryIndex(u"ZOL_GetSMSs")>(missing, records, count, extra, progress);
}

int CZolManagerAPI::FileTransferGetFileList(FileEntry folder, FileEntry** list, int* count)
{
    return Call<ZOL_FileTransferGetFileList_t, EntryIndex(u"ZOL_FileTransferGetFileList")>(missing, folder, list, count);
}

int CZolManagerAPI::FileTransferGetFile(GetFileRequest** requests, int count, ManagerProgressFn progress)
{
    return Call<ZOL_FileTransferGetFile_t, EntryIndex(u"ZOL_FileTransferGetFile")>(missing, requests, count, progress);
}

void CZolManagerAPI::SetConnectStatusCallBack(ConnectStatusFn status)
{
    if (auto entry = reinterpret_cast<ZOL_SetConnectStatusCallBack_t>(m_entries[EntryIndex(u"ZOL_SetConnectStatusCallBack")]))
        entry(status);
}

int CZolManagerAPI::ConnectMobile() { return Call<ZOL_ConnectMobile_t, EntryIndex(u"ZOL_ConnectMobile")>(missing); }
int CZolManagerAPI::DisconnectMobile() { return Call<ZOL_DisconnectMobile_t, EntryIndex(u"ZOL_DisconnectMobile")>(missing); }
int CZolManagerAPI::Dial(const WCHAR* number) { return Call<ZOL_Dial_t, EntryIndex(u"ZOL_Dial")>(missing, number); }
int CZolManagerAPI::DialDTMF(const WCHAR* digits) { return Call<ZOL_DialDTMF_t, EntryIndex(u"ZOL_DialDTMF")>(missing, digits); }
int CZolManagerAPI::ReDial() { return Call<ZOL_ReDial_t, EntryIndex(u"ZOL_ReDial")>(missing); }
int CZolManagerAPI::HFInitial() { return Call<ZOL_HFInitial_t, EntryIndex(u"ZOL_HFInitial")>(missing); }
int CZolManagerAPI::HFAudioConnect(int on) { return Call<ZOL_HFAudioConnect_t, EntryIndex(u"ZOL_HFAudioConnect")>(missing, on); }
int CZolManagerAPI::GetHFStatus(BYTE* audioOn) { return Call<ZOL_GetHFStatus_t, EntryIndex(u"ZOL_GetHFStatus")>(missing, audioOn); }
int CZolManagerAPI::AnswerCall() { return Call<ZOL_AnswerCall_t, EntryIndex(u"ZOL_AnswerCall")>(missing); }
int CZolManagerAPI::HangupCall() { return Call<ZOL_HangupCall_t, EntryIndex(u"ZOL_HangupCall")>(missing); }

int CZolManagerAPI::SetIncomingframeCallBack(CallStatusFn callStatus, IncomingSmsFn incomingSms)
{
    return Call<ZOL_SetIncomingframeCallBack_t, EntryIndex(u"ZOL_SetIncomingframeCallBack")>(missing, callStatus, incomingSms);
}

int CZolManagerAPI::GetPhoneSupportFun(PhoneSupportFun* out)
{
    return Call<ZOL_GetPhoneSupportFun_t, EntryIndex(u"ZOL_GetPhoneSupportFun")>(missing, out);
}

int CZolManagerAPI::SetDeviceVol(int device, int value)
{
    return Call<ZOL_SetDeviceVol_t, EntryIndex(u"ZOL_SetDeviceVol")>(0, device, value);
}

int CZolManagerAPI::SetBTPower(int on) { return Call<ZOL_SetBTPower_t, EntryIndex(u"ZOL_SetBTPower")>(0, on); }
int CZolManagerAPI::GetBTPower() { return Call<ZOL_GetBTPower_t, EntryIndex(u"ZOL_GetBTPower")>(0); }
int CZolManagerAPI::TransferAudio(int value) { return Call<ZOL_TransferAudio_t, EntryIndex(u"ZOL_TransferAudio")>(missing, value); }
