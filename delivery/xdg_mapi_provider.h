#pragma once

#include <chrono>

#include "delivery/mapi.h"

// Simple MAPI for Linux desktops: MAPISendMail played through xdg-email,
// which opens the user's own mail client on a new mail with recipients,
// subject, body and attachments filled in. Waits at most `wait` for
// xdg-email to end; a client that keeps it running longer has the mail.
MapiULong sendMailWithXdgEmail(const MapiMessage* message, MapiULong flags, std::chrono::milliseconds wait);
