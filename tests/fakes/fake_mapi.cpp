// A Simple MAPI provider for tests. It keeps what it was handed, field by
// field, for the test that loaded it (FakeMapiLastCall) and for a test that
// only sees it through a run of the program (the file named by
// PELLICOR_FAKE_MAPI_RECORD), and answers with the code the test chose
// (FakeMapiSetResult, or PELLICOR_FAKE_MAPI_RESULT), or aborts the process
// when PELLICOR_FAKE_MAPI_CRASH is set. Built with
// FAKE_MAPI_WIDE it also offers the wide entry point, as Windows 8 and later
// do, and records which of the two was called.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mail/mapi.h"
#include "text/utf16.h"
#include "tests/fakes/fake_mapi.h"

namespace {

std::string record;
MapiULong result = 0;
bool resultSet = false;

[[maybe_unused]] void put(const char* name, const char16_t* value)
{
    if (value == nullptr) {
        record += std::string(name) + " null\n";
        return;
    }
    const std::string text = utf16ToUtf8(value);
    record += std::string(name) + " " + std::to_string(text.size()) + " " + text + "\n";
}

void put(const char* name, const char* value)
{
    record += name;
    if (value == nullptr) {
        record += " null\n";
        return;
    }
    const std::string text(value);
    record += " " + std::to_string(text.size()) + " " + text + "\n";
}

void put(const char* name, unsigned long long value)
{
    record += std::string(name) + " " + std::to_string(value) + "\n";
}

void putPointer(const char* name, const void* value)
{
    record += std::string(name) + (value ? " set\n" : " null\n");
}

template <typename Message>
void recordCall(const char* entry, MapiHandle session, std::uintptr_t uiParam, Message* message, MapiULong flags,
                MapiULong reserved)
{
    record.clear();
    record += std::string("entry ") + entry + "\n";
    put("session", session);
    put("uiParam", uiParam);
    put("flags", flags);
    put("reserved", reserved);
    putPointer("message", message);
    if (message != nullptr) {
        put("message.ulReserved", message->ulReserved);
        put("message.lpszSubject", message->lpszSubject);
        put("message.lpszNoteText", message->lpszNoteText);
        put("message.lpszMessageType", message->lpszMessageType);
        put("message.lpszDateReceived", message->lpszDateReceived);
        put("message.lpszConversationID", message->lpszConversationID);
        put("message.flFlags", message->flFlags);
        putPointer("message.lpOriginator", message->lpOriginator);
        put("message.nRecipCount", message->nRecipCount);
        putPointer("message.lpRecips", message->lpRecips);
        for (MapiULong i = 0; message->lpRecips && i < message->nRecipCount; ++i) {
            const auto& r = message->lpRecips[i];
            put("recip.ulReserved", r.ulReserved);
            put("recip.ulRecipClass", r.ulRecipClass);
            put("recip.lpszName", r.lpszName);
            put("recip.lpszAddress", r.lpszAddress);
            put("recip.ulEIDSize", r.ulEIDSize);
            putPointer("recip.lpEntryID", r.lpEntryID);
        }
        put("message.nFileCount", message->nFileCount);
        putPointer("message.lpFiles", message->lpFiles);
        for (MapiULong i = 0; message->lpFiles && i < message->nFileCount; ++i) {
            const auto& f = message->lpFiles[i];
            put("file.ulReserved", f.ulReserved);
            put("file.flFlags", f.flFlags);
            put("file.nPosition", f.nPosition);
            put("file.lpszPathName", f.lpszPathName);
            put("file.lpszFileName", f.lpszFileName);
            putPointer("file.lpFileType", f.lpFileType);
        }
    }

    if (const char* path = std::getenv("PELLICOR_FAKE_MAPI_RECORD")) {
        if (std::FILE* out = std::fopen(path, "wb")) {
            std::fwrite(record.data(), 1, record.size(), out);
            std::fclose(out);
        }
    }
}

MapiULong chosenResult()
{
    // A broken mail client takes the process that loaded it down with it.
    if (std::getenv("PELLICOR_FAKE_MAPI_CRASH") != nullptr)
        std::abort();
    if (resultSet)
        return result;
    const char* chosen = std::getenv("PELLICOR_FAKE_MAPI_RESULT");
    return chosen ? static_cast<MapiULong>(std::strtoul(chosen, nullptr, 0)) : 0;
}

} // namespace

PELLICOR_EXPORT MapiULong PELLICOR_STDCALL MAPISendMail(MapiHandle session, std::uintptr_t uiParam,
                                                        MapiMessage* message, MapiULong flags, MapiULong reserved)
{
    recordCall("MAPISendMail", session, uiParam, message, flags, reserved);
    return chosenResult();
}

#if defined(FAKE_MAPI_WIDE)
PELLICOR_EXPORT MapiULong PELLICOR_STDCALL MAPISendMailW(MapiHandle session, std::uintptr_t uiParam,
                                                         MapiMessageW* message, MapiULong flags, MapiULong reserved)
{
    recordCall("MAPISendMailW", session, uiParam, message, flags, reserved);
    return chosenResult();
}
#endif

PELLICOR_EXPORT const char* FakeMapiLastCall()
{
    return record.c_str();
}

PELLICOR_EXPORT void FakeMapiSetResult(MapiULong code)
{
    result = code;
    resultSet = true;
}
