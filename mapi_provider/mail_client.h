#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mapi_provider/desktop_entry.h"

// The mail clients whose command lines take an attachment, each in its own form.
enum class MailClientKind { Unknown, Thunderbird, Evolution, KMail, ClawsMail, Sylpheed };

// How to start the client a desktop entry names.
struct MailClient {
    MailClientKind kind = MailClientKind::Unknown;
    // The Exec line with its field codes expanded; the mail's arguments go
    // in before command[argumentsAt].
    std::vector<std::string> command;
    std::size_t argumentsAt = 0;
    // A sandboxed client (Flatpak, Snap) reads only its own directories:
    // the cache directory it sees at the same path. Empty for a client that
    // reads what the user can.
    std::string sandboxCache;
    // The name its running instance shows, which a second start hands the
    // mail to; empty for a sandboxed one, whose instance we cannot tell.
    std::string program;
};

// Recognises the client by its program, Flatpak application id or snap name;
// any other program, a web browser among them, is Unknown.
MailClient identifyMailClient(const DesktopEntry& entry);

// The client's command with arguments in place of its %u.
std::vector<std::string> commandWith(const MailClient& client, const std::vector<std::string>& arguments);
