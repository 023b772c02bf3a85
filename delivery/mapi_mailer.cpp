#include "delivery/mapi_mailer.h"

#include "logging/log_line.h"
#include "text/utf16.h"
#include "pellicor/logging.h"
#include "platform/code_page.h"

namespace {

char* text(const std::string& s)
{
    // The records want char*; providers only read through it.
    return const_cast<char*>(s.c_str());
}

char attachmentDisplayName[] = "log.zip";

} // namespace

MapiMailer::MapiMailer(platform::DynamicLibrary library) : mapiLibrary(std::move(library))
{
    mapiSendMail = reinterpret_cast<MapiSendMailFunction>(mapiLibrary.symbol("MAPISendMail"));
    // The ANSI entry point turns every character outside the user's code
    // page into "?"; where the wide one exists, nothing is lost.
    if (mapiSendMail != nullptr)
        mapiSendMailW = reinterpret_cast<MapiSendMailWFunction>(mapiLibrary.symbol("MAPISendMailW"));
}

void MapiMailer::setRecipient(const std::string& address)
{
    recipient = MapiRecipDesc{};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = text(address);
    smtpAddress = "SMTP:" + address;
    recipient.lpszAddress = text(smtpAddress);
}

void MapiMailer::setMessage(const std::string& subject, const std::string& body, MapiFileDesc& file)
{
    message = MapiMessage{};
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.lpszSubject = text(subject);
    message.lpszNoteText = text(body);
    if (file.lpszPathName != nullptr && file.lpszPathName[0] != '\0') {
        message.nFileCount = 1;
        message.lpFiles = &file;
    }
}

bool MapiMailer::send(const ReportRequest& request)
{
    if (mapiSendMail == nullptr)
        return false;

    // The narrow entry point reads the ANSI code page, which is UTF-8 for
    // this program wherever the system honours its manifest.
    if (mapiSendMailW == nullptr)
        narrowRequest = {platform::toNarrowCodePage(request.mailAddress), platform::toNarrowCodePage(request.subject),
                         platform::toNarrowCodePage(request.body), platform::toNarrowCodePage(request.attachZip)};
    const ReportRequest& fields = mapiSendMailW == nullptr ? narrowRequest : request;

    setRecipient(fields.mailAddress);
    attachment = MapiFileDesc{};
    attachment.nPosition = 0xFFFFFFFFu;
    attachment.lpszPathName = text(fields.attachZip);
    // The client shows this name, whatever the file is called on disk.
    attachment.lpszFileName = attachmentDisplayName;
    setMessage(fields.subject, fields.body, attachment);

    const MapiULong code = mapiSendMailW != nullptr ? sendWide()
                                                    : mapiSendMail(0, 0, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    return logMapiResult(static_cast<int>(code));
}

MapiULong MapiMailer::sendWide()
{
    auto widen = [](std::u16string& own, const char* narrow) -> char16_t* {
        if (narrow == nullptr)
            return nullptr;
        own = utf8ToUtf16(narrow);
        return &own[0];
    };
    wide.recipient = MapiRecipDescW{};
    wide.recipient.ulRecipClass = recipient.ulRecipClass;
    wide.recipient.lpszName = widen(wide.name, recipient.lpszName);
    wide.recipient.lpszAddress = widen(wide.address, recipient.lpszAddress);

    wide.attachment = MapiFileDescW{};
    wide.attachment.nPosition = attachment.nPosition;
    wide.attachment.lpszPathName = widen(wide.pathName, attachment.lpszPathName);
    wide.attachment.lpszFileName = widen(wide.fileName, attachment.lpszFileName);

    wide.message = MapiMessageW{};
    wide.message.lpszSubject = widen(wide.subject, message.lpszSubject);
    wide.message.lpszNoteText = widen(wide.noteText, message.lpszNoteText);
    wide.message.nRecipCount = message.nRecipCount;
    wide.message.lpRecips = &wide.recipient;
    wide.message.nFileCount = message.nFileCount;
    wide.message.lpFiles = message.lpFiles != nullptr ? &wide.attachment : nullptr;
    return mapiSendMailW(0, 0, &wide.message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
}

bool logMapiResult(int code)
{
    switch (code) {
    case static_cast<int>(SUCCESS_SUCCESS):
        logLine(Logger::MODULE_MAIN, Logger::levelInfo, "MAPI report sent\n");
        return true;
    case static_cast<int>(MAPI_USER_ABORT):
        logLine(Logger::MODULE_MAIN, Logger::levelInfo, "MAPI report user abort\n");
        return true;
    case static_cast<int>(MAPI_E_LOGIN_FAILURE):
        logLine(Logger::MODULE_MAIN, Logger::levelError, "MAPI report login failure\n");
        return false;
    case static_cast<int>(MAPI_E_ATTACHMENT_NOT_FOUND):
        logLine(Logger::MODULE_MAIN, Logger::levelError, "MAPI report attachment not found\n");
        return false;
    default:
        logLine(Logger::MODULE_MAIN, Logger::levelError, "MAPI report sendMail failed with error ", code, "\n");
        return false;
    }
}
