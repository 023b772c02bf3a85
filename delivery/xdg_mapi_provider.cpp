#include "delivery/xdg_mapi_provider.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "delivery/mailto_field.h"
#include "platform/private_directory.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

// The client reads an attachment only when the mail goes out; a week is
// long past that, for a mail sent or dropped.
constexpr auto outboxLifetime = std::chrono::hours(24 * 7);

std::string text(const char* s)
{
    return s ? s : "";
}

// Debian's xdg-email hands Thunderbird the fields as one "-compose" list, in
// which a comma ends a field and a quote starts one: keep both escaped.
std::string uriField(const std::string& field)
{
    std::string out;
    for (char c : escapeMailtoUrl(field)) {
        if (c == ',')
            out += "%2C";
        else if (c == '\'')
            out += "%27";
        else
            out += c;
    }
    return out;
}

bool hasSmtpPrefix(const std::string& address)
{
    static const char prefix[] = "smtp:";
    if (address.size() < sizeof prefix - 1)
        return false;
    for (std::size_t i = 0; i < sizeof prefix - 1; ++i) {
        if (std::tolower(static_cast<unsigned char>(address[i])) != prefix[i])
            return false;
    }
    return true;
}

std::string recipientOf(const MapiRecipDesc& recipient)
{
    std::string address = text(recipient.lpszAddress);
    if (hasSmtpPrefix(address))
        address.erase(0, 5);
    return address.empty() ? text(recipient.lpszName) : address;
}

// The recipients go in the address part, where none can pass for an option
// of xdg-email.
std::string mailtoUri(const MapiMessage& message)
{
    std::string uri = "mailto:";
    const char* separator = "";
    for (MapiULong i = 0; i < message.nRecipCount; ++i) {
        const std::string recipient = recipientOf(message.lpRecips[i]);
        if (recipient.empty())
            continue;
        uri += separator + uriField(recipient);
        separator = ",";
    }
    char query = '?';
    auto addField = [&](const char* name, const char* value) {
        if (value == nullptr || *value == '\0')
            return;
        uri += query;
        uri += name;
        uri += '=';
        uri += uriField(value);
        query = '&';
    };
    addField("subject", message.lpszSubject);
    addField("body", message.lpszNoteText);
    return uri;
}

bool isReadableFile(const char* path)
{
    if (path == nullptr || *path == '\0')
        return false;
    std::error_code ec;
    return fs::is_regular_file(path, ec) && std::ifstream(path, std::ios::binary).is_open();
}

fs::path outboxDirectory()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    // A relative XDG_CACHE_HOME is invalid and to be ignored.
    if (cache != nullptr && cache[0] == '/')
        return fs::path(cache) / "pellicor" / "outbox";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return fs::path(home) / ".cache" / "pellicor" / "outbox";
    return {};
}

void pruneOutbox(const fs::path& outbox)
{
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    for (fs::directory_iterator it(outbox, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        const auto written = fs::last_write_time(it->path(), entryError);
        if (!entryError && now - written > outboxLifetime)
            fs::remove_all(it->path(), entryError);
    }
}

std::string displayNameOf(const MapiFileDesc& file)
{
    // A name, never a path: the link must stay inside its own directory.
    fs::path name = fs::path(text(file.lpszFileName)).filename();
    if (name.empty() || name == "." || name == "..")
        name = fs::path(text(file.lpszPathName)).filename();
    return name.string();
}

// Mail clients name an attachment after the file on disk, where a Windows
// client shows the name the caller chose; so the client gets a link of that
// name in a directory of its own. It must outlive this call, as the client
// reads it only when the mail goes out. Should the link fail, the file is
// attached as it is.
std::string stagedAttachment(const fs::path& outbox, const MapiFileDesc& file)
{
    const std::string path = file.lpszPathName;
    std::error_code ec;
    if (outbox.empty() || (!fs::create_directories(outbox, ec) && ec))
        return path;
    const std::string dir = platform::makePrivateDirectory(outbox.string());
    if (dir.empty())
        return path;
    // Linked as it is, a symbolic link would point elsewhere from its new place.
    const fs::path source = fs::canonical(path, ec);
    const fs::path link = fs::path(dir) / displayNameOf(file);
    if (!ec) {
        fs::create_hard_link(source, link, ec);
        if (ec) {
            ec.clear();
            fs::copy_file(source, link, ec);
        }
    }
    if (ec) {
        fs::remove_all(dir, ec);
        return path;
    }
    return link.string();
}

} // namespace

MapiULong sendMailWithXdgEmail(const MapiMessage* message, MapiULong flags, std::chrono::milliseconds wait)
{
    // xdg-email can only show the mail, never send it unseen.
    if (message == nullptr || (flags & MAPI_DIALOG) == 0)
        return MAPI_E_FAILURE;
    if ((message->nRecipCount > 0 && message->lpRecips == nullptr)
        || (message->nFileCount > 0 && message->lpFiles == nullptr))
        return MAPI_E_FAILURE;
    for (MapiULong i = 0; i < message->nFileCount; ++i) {
        if (!isReadableFile(message->lpFiles[i].lpszPathName))
            return MAPI_E_ATTACHMENT_NOT_FOUND;
    }

    // A mailto: URI, not --subject and --body: xdg-email passes those
    // through an escape-interpreting printf, which eats backslashes.
    const std::string uri = mailtoUri(*message);
    if (!platform::fitsOneArgument(uri))
        return MAPI_E_FAILURE;

    const fs::path outbox = outboxDirectory();
    pruneOutbox(outbox);
    std::vector<std::string> argv{"xdg-email", "--utf8"};
    for (MapiULong i = 0; i < message->nFileCount; ++i) {
        argv.push_back("--attach");
        argv.push_back(stagedAttachment(outbox, message->lpFiles[i]));
    }
    argv.push_back(uri);

    const platform::ProcessOutcome outcome = platform::runProcess(argv, wait);
    switch (outcome.status) {
    case platform::ProcessOutcome::NotStarted:
        return MAPI_E_FAILURE;
    case platform::ProcessOutcome::StillRunning:
        // Some clients keep xdg-email until their compose window closes.
        return SUCCESS_SUCCESS;
    case platform::ProcessOutcome::Exited:
        break;
    }
    return outcome.exitCode == 0 ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}
