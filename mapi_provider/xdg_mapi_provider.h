#pragma once

#include <chrono>

#include "mail/mapi.h"

// Simple MAPI for Linux desktops: MAPISendMail played by starting the
// desktop's default mailto: handler (as xdg-mime names it) on a new mail
// with recipients, subject, body and attachments filled in, in the form
// that client's command line takes. A handler not known to take an
// attachment (a web browser, say) is started with nothing: the result is
// MAPI_E_NOT_SUPPORTED, and the caller's own fallback takes over. A client
// that can take the body only on its command line gets MAPI_E_TEXT_TOO_LARGE
// for one that does not fit there.
struct ClientWaits {
    // How long the client's command may take to end; one that keeps running
    // longer has the mail.
    std::chrono::milliseconds start;
    // How long a running instance that a quick, successful command handed
    // the mail to must stay alive for it to count as taken.
    std::chrono::milliseconds handOff;
};
MapiULong sendMailToDesktopClient(const MapiMessage* message, MapiULong flags, ClientWaits waits);
