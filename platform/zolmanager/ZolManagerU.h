#pragma once

// The Bluetooth manager "ZolManagerU.dll" as its callers see it: the callbacks it takes, the
// entries the phone link calls (looked up by name), the names it exports and the result codes.
// The records are the phone link's (PhoneRecords.h), passed whole.

#include "PhoneRecords.h"

#include <array>

// Callbacks the manager calls on its own thread. Records come by value.
using ZolStartFn = int (*)();
using ConnectStatusFn = int (*)(int status);
using CallStatusFn = int (*)(PhonebookEntry party, int state);
using IncomingSmsFn = int (*)(SmsRecord message);
using InquiryFn = int (*)(DeviceRecord device, int second, int finished);
// Answers 1 to go on, 0 to stop; `final` 1 ends a transfer with its result in `value`.
using ManagerProgressFn = int (*)(int kind, int done, int total, int value, int final);

// Call states of CallStatusFn.
inline constexpr int ZOL_CALL_IDLE = 0;
inline constexpr int ZOL_CALL_INCOMING = 1;
inline constexpr int ZOL_CALL_ACTIVE = 2;
inline constexpr int ZOL_CALL_OUTGOING = 3;

// Kinds of ManagerProgressFn.
inline constexpr int ZOL_PROGRESS_CONTACTS = 0;
inline constexpr int ZOL_PROGRESS_CALLS = 1;
inline constexpr int ZOL_PROGRESS_SMS = 4;
inline constexpr int ZOL_PROGRESS_CALL_LIST = 5;

// ManagerResult: the int every entry answers; 1 is success. The codes the phone link makes itself:
inline constexpr int MANAGER_OK = 1;
inline constexpr int MANAGER_TIMEOUT = 2001;
inline constexpr int MANAGER_NOT_CONNECTED = 2002;
inline constexpr int MANAGER_ENTRY_MISSING = 2009;
inline constexpr int MANAGER_COPY_FAILED = 2017;
inline constexpr int MANAGER_NO_LIST = 2999;
inline constexpr int MANAGER_NO_CARD = 3000;
inline constexpr int MANAGER_CARD_FULL = 3002;

// The entries the phone link calls, by their exported names' types.
extern "C" {
using ZOL_ManagerInitial_t = int (*)(ZolStartFn);
using ZOL_ManagerClose_t = int (*)();
using ZOL_GPRSConnection_t = int (*)();
using ZOL_GPRSDisconnection_t = int (*)();
using ZOL_DeviceInitial_t = int (*)();
using ZOL_DeviceClose_t = int (*)();
using ZOL_DeviceInquiry_t = int (*)(InquiryFn);
using ZOL_DeviceInquiryStop_t = int (*)();
using ZOL_DevicePair_t = int (*)(int addressLow, int addressHigh, const WCHAR* pin, BYTE* out);
using ZOL_ActivateMobile_t = int (*)(int addressLow, int addressHigh);
using ZOL_DeleteDefaultPhone_t = int (*)(int addressLow, int addressHigh);
using ZOL_GetContactsEx_t = int (*)(const char* storage, BYTE** entries, int* count, ManagerProgressFn);
using ZOL_ReleaseMemory_t = int (*)(void* buffer);
using ZOL_GetSMSs_t = int (*)(SmsRecord** records, int* count, void* extra, ManagerProgressFn);
using ZOL_FileTransferGetFileList_t = int (*)(FileEntry folder, FileEntry** list, int* count);
using ZOL_FileTransferGetFile_t = int (*)(GetFileRequest** requests, int count, ManagerProgressFn);
using ZOL_SetConnectStatusCallBack_t = void (*)(ConnectStatusFn);
using ZOL_ConnectMobile_t = int (*)();
using ZOL_DisconnectMobile_t = int (*)();
using ZOL_Dial_t = int (*)(const WCHAR* number);
using ZOL_DialDTMF_t = int (*)(const WCHAR* digits);
using ZOL_ReDial_t = int (*)();
using ZOL_HFInitial_t = int (*)();
using ZOL_HFAudioConnect_t = int (*)(int on);
using ZOL_GetHFStatus_t = int (*)(BYTE* audioOn);
using ZOL_AnswerCall_t = int (*)();
using ZOL_HangupCall_t = int (*)();
using ZOL_SetIncomingframeCallBack_t = int (*)(CallStatusFn, IncomingSmsFn);
using ZOL_GetPhoneSupportFun_t = int (*)(PhoneSupportFun* out);
using ZOL_SetDeviceVol_t = int (*)(int device, int value);
using ZOL_SetBTPower_t = int (*)(int on);
using ZOL_GetBTPower_t = int (*)();
using ZOL_TransferAudio_t = int (*)(int value);
}

// ZOL_SetDeviceVol's devices.
inline constexpr int ZOL_DEVICE_MICROPHONE = 0; // value 1 sound on, 0 muted
inline constexpr int ZOL_DEVICE_SPEAKER = 1;    // value the volume

// Every name the manager exports, in the order the phone link looks them up.
inline constexpr std::array<const WCHAR*, 82> ZOL_ENTRY_NAMES = {
    u"ZOL_ManagerInitial", u"ZOL_ManagerClose", u"ZOL_GPRSConnection", u"ZOL_GPRSDisconnection",
    u"ZOL_DeviceInitial", u"ZOL_DeviceClose", u"ZOL_DeviceInquiry", u"ZOL_DeviceInquiryStop",
    u"ZOL_DevicePair", u"ZOL_DeviceUnPair", u"ZOL_ActivateMobile", u"ZOL_ActivateFTPDevice",
    u"ZOL_GetDevicePaired", u"ZOL_DeleteDefaultPhone", u"ZOL_ActivateHeadset", u"ZOL_SetBTPower",
    u"ZOL_GetBTPower", u"ZOL_ActivateMP3", u"ZOL_GetOperatorInfo", u"ZOL_GetSignalQualityInfo",
    u"ZOL_GetBatteryChargeInfo", u"ZOL_TransferAudio", u"ZOL_DeviceRefuse", u"ZOL_DeviceInversePair",
    u"ZOL_GetContacts", u"ZOL_AddContacts", u"ZOL_DeleteContacts", u"ZOL_ModifyContact",
    u"ZOL_ReleaseMemory", u"ZOL_GetContactsEx", u"ZOL_GetCalendars", u"ZOL_AddCalendars",
    u"ZOL_DeleteCalendars", u"ZOL_ModifyCalendar", u"ZOL_GetTasks", u"ZOL_AddTasks",
    u"ZOL_DeleteTasks", u"ZOL_ModifyTask", u"ZOL_GetSMSs", u"ZOL_AddSMSs",
    u"ZOL_DeleteSMS", u"ZOL_SendSMSs", u"ZOL_FileTransferGetFileList", u"ZOL_FileTransferDeleteFile",
    u"ZOL_FileTransferGetFile", u"ZOL_FileTransferPutFile", u"ZOL_InitSynchronization", u"ZOL_GetSupportMailSystem",
    u"ZOL_GetOutlookProfileList", u"ZOL_GetOutlookFolderList", u"ZOL_Synchronization", u"ZOL_SetConnectStatusCallBack",
    u"ZOL_ConnectMobile", u"ZOL_DisconnectMobile", u"ZOL_Dial", u"ZOL_AnswerCall",
    u"ZOL_HangupCall", u"ZOL_SetIncomingframeCallBack", u"ZOL_GetPhoneSupportFun", u"ZOL_DialDTMF",
    u"ZOL_MemoryDial", u"ZOL_ReDial", u"ZOL_HFVoiceDial", u"ZOL_CallWaiting",
    u"ZOL_QueryCurrentCall", u"ZOL_HFInitial", u"ZOL_HFAudioConnect", u"ZOL_Mute",
    u"ZOL_GetHFStatus", u"ZOL_HSConnect", u"ZOL_StereoConnect", u"ZOL_MP3StereoConnect",
    u"ZOL_MP3StereoSetVolume", u"ZOL_AVRCPCommand", u"ZOL_SetStereoConnectStatusCallBack", u"ZOL_GetDeviceSupportProfile",
    u"ZOL_SetDeviceVol", u"ZOL_GetDeviceVol", u"ZOL_AddContact2MSOT", u"ZOL_AddCalendar2MSOT",
    u"ZOL_AddTask2MSOT", u"ZOL_AddSMS2MSOT",
};

// The library's device file name, as the phone link loads it.
inline constexpr const WCHAR* ZOL_MANAGER_LIBRARY = u"ZolManagerU.dll";
