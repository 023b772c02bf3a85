#include "delivery/mapi_mailer.h"

#include <sstream>

#include "pellicor/logging.h"

namespace {

constexpr int levelError = 3;
constexpr int levelInfo = 6;

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

    setRecipient(request.mailAddress);
    attachment = MapiFileDesc{};
    attachment.nPosition = 0xFFFFFFFFu;
    attachment.lpszPathName = text(request.attachZip);
    // The client shows this name, whatever the file is called on disk.
    attachment.lpszFileName = attachmentDisplayName;
    setMessage(request.subject, request.body, attachment);

    MapiULong code = mapiSendMail(0, 0, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    return logMapiResult(static_cast<int>(code));
}

bool logMapiResult(int code)
{
    Logger* logger = Logger::getInstance();
    auto line = [logger](int level, const std::string& text) {
        if (logger->isEnabled(Logger::MODULE_MAIN, level))
            logger->log(text, Logger::MODULE_MAIN, level);
    };
    switch (code) {
    case static_cast<int>(SUCCESS_SUCCESS):
        line(levelInfo, "MAPI report sent\n");
        return true;
    case static_cast<int>(MAPI_USER_ABORT):
        line(levelInfo, "MAPI report user abort\n");
        return true;
    case static_cast<int>(MAPI_E_LOGIN_FAILURE):
        line(levelError, "MAPI report login failure\n");
        return false;
    case static_cast<int>(MAPI_E_ATTACHMENT_NOT_FOUND):
        line(levelError, "MAPI report attachment not found\n");
        return false;
    default:
        if (logger->isEnabled(Logger::MODULE_MAIN, levelError)) {
            std::ostringstream out;
            out << "MAPI report sendMail failed with error " << code << "\n";
            logger->log(out.str(), Logger::MODULE_MAIN, levelError);
        }
        return false;
    }
}
