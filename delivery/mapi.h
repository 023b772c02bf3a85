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
