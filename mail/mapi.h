#pragma once

// The Simple MAPI records and entry point, laid out as the published
// interface has them, so any provider built elsewhere agrees with us byte
// for byte: ULONG is 32 bits, handles are pointer-sized.

#include <cstdint>

#include "platform/abi.h"

extern "C" {

typedef std::uint32_t MapiULong;
typedef std::uintptr_t MapiHandle;

struct MapiRecipDesc {
    MapiULong ulReserved;
    MapiULong ulRecipClass;
    char* lpszName;
    char* lpszAddress;
    MapiULong ulEIDSize;
    void* lpEntryID;
};

struct MapiFileDesc {
    MapiULong ulReserved;
    MapiULong flFlags;
    MapiULong nPosition;
    char* lpszPathName;
    char* lpszFileName;
    void* lpFileType;
};

struct MapiMessage {
    MapiULong ulReserved;
    char* lpszSubject;
    char* lpszNoteText;
    char* lpszMessageType;
    char* lpszDateReceived;
    char* lpszConversationID;
    MapiULong flFlags;
    MapiRecipDesc* lpOriginator;
    MapiULong nRecipCount;
    MapiRecipDesc* lpRecips;
    MapiULong nFileCount;
    MapiFileDesc* lpFiles;
};

typedef MapiULong(PELLICOR_STDCALL* MapiSendMailFunction)(MapiHandle lhSession, std::uintptr_t ulUIParam,
                                                         MapiMessage* lpMessage, MapiULong flFlags,
                                                         MapiULong ulReserved);

// The wide forms (Windows 8 and later): the same records with UTF-16 text,
// so subjects and bodies in any script survive the user's code page.
struct MapiRecipDescW {
    MapiULong ulReserved;
    MapiULong ulRecipClass;
    char16_t* lpszName;
    char16_t* lpszAddress;
    MapiULong ulEIDSize;
    void* lpEntryID;
};

struct MapiFileDescW {
    MapiULong ulReserved;
    MapiULong flFlags;
    MapiULong nPosition;
    char16_t* lpszPathName;
    char16_t* lpszFileName;
    void* lpFileType;
};

struct MapiMessageW {
    MapiULong ulReserved;
    char16_t* lpszSubject;
    char16_t* lpszNoteText;
    char16_t* lpszMessageType;
    char16_t* lpszDateReceived;
    char16_t* lpszConversationID;
    MapiULong flFlags;
    MapiRecipDescW* lpOriginator;
    MapiULong nRecipCount;
    MapiRecipDescW* lpRecips;
    MapiULong nFileCount;
    MapiFileDescW* lpFiles;
};

typedef MapiULong(PELLICOR_STDCALL* MapiSendMailWFunction)(MapiHandle lhSession, std::uintptr_t ulUIParam,
                                                          MapiMessageW* lpMessage, MapiULong flFlags,
                                                          MapiULong ulReserved);

} // extern "C"

constexpr MapiULong MAPI_ORIG = 0;
constexpr MapiULong MAPI_TO = 1;
constexpr MapiULong MAPI_LOGON_UI = 0x00000001;
constexpr MapiULong MAPI_DIALOG = 0x00000008;

constexpr MapiULong SUCCESS_SUCCESS = 0;
constexpr MapiULong MAPI_USER_ABORT = 1;
constexpr MapiULong MAPI_E_FAILURE = 2;
constexpr MapiULong MAPI_E_LOGIN_FAILURE = 3;
constexpr MapiULong MAPI_E_ATTACHMENT_NOT_FOUND = 11;
constexpr MapiULong MAPI_E_TEXT_TOO_LARGE = 18;
constexpr MapiULong MAPI_E_NOT_SUPPORTED = 26;
