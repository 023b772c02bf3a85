#pragma once

#include <string>

#include "mail/report_request.h"
#include "mail/mapi.h"
#include "platform/dynamic_library.h"

// Offers one mail to the user's mail client through Simple MAPI, which shows
// the client's compose window with the attachment. The provider library
// stays loaded for the mailer's whole life.
class MapiMailer {
public:
    explicit MapiMailer(platform::DynamicLibrary library);

    // True when the client took the mail or the user cancelled it; false
    // when the caller should fall back to another route.
    bool send(const ReportRequest& request);

    void setRecipient(const std::string& address);
    void setMessage(const std::string& subject, const std::string& body, MapiFileDesc& file);

    MapiMailer(const MapiMailer&) = delete;
    MapiMailer& operator=(const MapiMailer&) = delete;

private:
    // The narrow records over again in UTF-16, for providers that take them.
    struct WideMail {
        std::u16string name, address, pathName, fileName, subject, noteText;
        MapiRecipDescW recipient{};
        MapiFileDescW attachment{};
        MapiMessageW message{};
    };
    MapiULong sendWide();

    MapiRecipDesc recipient{};
    MapiFileDesc attachment{};
    MapiMessage message{};
    std::string smtpAddress;
    platform::DynamicLibrary mapiLibrary;
    MapiSendMailFunction mapiSendMail = nullptr;
    MapiSendMailWFunction mapiSendMailW = nullptr;
    WideMail wide;
    ReportRequest narrowRequest;  // what the narrow records point at
};

// Logs what a MAPISendMail result means; true when the mail is dealt with.
bool logMapiResult(int code);
