#include "mapi_provider/xdg_mapi_provider.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "mail/mailto_field.h"
#include "mail/mailto_fit.h"
#include "mapi_provider/desktop_entry.h"
#include "mapi_provider/mail_client.h"
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

// Thunderbird's "-compose" list ends a field at a comma, which the mailto
// escaping already escapes, and takes a quote after "=" for the start of a
// raw field: escape that too.
std::string withQuotesEscaped(const std::string& escaped)
{
    std::string out;
    for (char c : escaped) {
        if (c == '\'')
            out += "%27";
        else
            out += c;
    }
    return out;
}

std::string uriField(const std::string& field)
{
    return withQuotesEscaped(escapeMailtoUrl(field));
}

std::string fileUri(const std::string& path)
{
    return "file://" + uriField(path);
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

std::vector<std::string> recipientsOf(const MapiMessage& message)
{
    std::vector<std::string> recipients;
    for (MapiULong i = 0; i < message.nRecipCount; ++i) {
        std::string recipient = recipientOf(message.lpRecips[i]);
        if (!recipient.empty())
            recipients.push_back(std::move(recipient));
    }
    return recipients;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : separator) + part;
    return out;
}

// Claws Mail and Sylpheed hand a second start's request to their running
// instance as one line: "compose_attach " and the URL without "mailto:".
// Sylpheed cuts a line over 8191 bytes short unseen; Claws Mail 4.1 crashes
// on one over 8188.
constexpr std::size_t instanceLineUriLimit = 8188 - 15 + 7;

// The recipients go in the address part, where none can pass for an option
// of the client. A body too long for `longest` bytes, a client's limit for
// the URL, is cut between whole characters and ends with a line saying how
// much is missing; the attachment still goes along.
std::string mailtoUri(const MapiMessage& message, const std::vector<std::string>& attachments, const std::string& body,
                      std::size_t longest)
{
    std::vector<std::string> recipients;
    for (const std::string& recipient : recipientsOf(message))
        recipients.push_back(uriField(recipient));
    const std::string address = "mailto:" + joined(recipients, ",");
    std::vector<std::pair<std::string, std::string>> fields;
    auto addField = [&](const char* name, const std::string& value) {
        if (!value.empty())
            fields.emplace_back(name, uriField(value));
    };
    addField("subject", text(message.lpszSubject));
    addField("body", body);
    for (const std::string& attachment : attachments)
        addField("attach", attachment);

    auto uriOf = [&]() {
        std::string uri = address;
        char query = '?';
        for (const auto& [name, value] : fields) {
            uri += query + name + '=' + value;
            query = '&';
        }
        return uri;
    };
    std::string uri = uriOf();
    if (uri.size() <= longest)
        return uri;
    const auto bodyField = std::find_if(fields.begin(), fields.end(),
                                        [](const auto& field) { return field.first == "body"; });
    if (bodyField == fields.end())
        return uri;
    std::string& value = bodyField->second;
    const std::size_t rest = uri.size() - value.size();
    // The fitter escapes as a mailto: field does; the quotes it keeps grow
    // by two bytes each here, so the room shrinks by what overshot.
    std::size_t room = longest - std::min(longest, rest);
    for (int attempt = 0; attempt < 8; ++attempt) {
        value = withQuotesEscaped(fitMailtoBody(body, 0, room).escaped);
        if (rest + value.size() <= longest || room == 0)
            break;
        room -= std::min(room, rest + value.size() - longest);
    }
    return uriOf();
}

// Each line break as one LF, as a text file on this system holds it.
std::string withLineFeeds(const std::string& body)
{
    std::string out;
    for (std::string::size_type i = 0; i < body.size(); ++i) {
        if (body[i] != '\r') {
            out += body[i];
            continue;
        }
        out += '\n';
        if (i + 1 < body.size() && body[i + 1] == '\n')
            ++i;
    }
    return out;
}

bool isReadableFile(const char* path)
{
    if (path == nullptr || *path == '\0')
        return false;
    std::error_code ec;
    return fs::is_regular_file(path, ec) && std::ifstream(path, std::ios::binary).is_open();
}

std::string displayNameOf(const MapiFileDesc& file)
{
    // A name, never a path: the file must stay inside its own directory.
    fs::path name = fs::path(text(file.lpszFileName)).filename();
    if (name.empty() || name == "." || name == "..")
        name = fs::path(text(file.lpszPathName)).filename();
    return name.string();
}

// Files the client reads after this call has returned, each in a private
// directory of its own under the outbox. They are removed again unless the
// client took the mail.
class Outbox {
public:
    explicit Outbox(const MailClient& client)
    {
        if (!client.sandboxCache.empty()) {
            root_ = fs::path(client.sandboxCache) / "pellicor" / "outbox";
        } else if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
            // A relative XDG_CACHE_HOME is invalid and to be ignored.
            root_ = fs::path(cache) / "pellicor" / "outbox";
        } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
            root_ = fs::path(home) / ".cache" / "pellicor" / "outbox";
        }
        prune();
    }
    ~Outbox()
    {
        std::error_code ec;
        for (const std::string& dir : dirs_)
            fs::remove_all(dir, ec);
    }
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    void keep() { dirs_.clear(); }

    // The path of a file named `name` that make wrote; empty when there is none.
    std::string place(const std::string& name, const std::function<bool(const fs::path&)>& make)
    {
        std::error_code ec;
        if (root_.empty() || (!fs::create_directories(root_, ec) && ec))
            return {};
        const std::string dir = platform::makePrivateDirectory(root_.string());
        if (dir.empty())
            return {};
        dirs_.push_back(dir);
        const fs::path file = fs::path(dir) / name;
        return make(file) ? file.string() : std::string();
    }

private:
    void prune() const
    {
        const auto now = fs::file_time_type::clock::now();
        std::error_code ec;
        for (fs::directory_iterator it(root_, ec), end; !root_.empty() && !ec && it != end; it.increment(ec)) {
            std::error_code entryError;
            const auto written = fs::last_write_time(it->path(), entryError);
            if (!entryError && now - written > outboxLifetime)
                fs::remove_all(it->path(), entryError);
        }
    }

    fs::path root_;
    std::vector<std::string> dirs_;
};

// Mail clients name an attachment after the file on disk, where a Windows
// client shows the name the caller chose; so the client gets a link of that
// name. Empty when it cannot be made.
std::string stagedAttachment(Outbox& outbox, const MapiFileDesc& file)
{
    return outbox.place(displayNameOf(file), [&](const fs::path& link) {
        // Linked as it is, a symbolic link would point elsewhere from its new place.
        std::error_code ec;
        const fs::path source = fs::canonical(file.lpszPathName, ec);
        if (ec)
            return false;
        fs::create_hard_link(source, link, ec);
        if (ec) {
            ec.clear();
            fs::copy_file(source, link, ec);
        }
        return !ec;
    });
}

std::string stagedBody(Outbox& outbox, const std::string& body)
{
    // ".txt": Thunderbird reads a file named ".html" as HTML.
    return outbox.place("body.txt", [&](const fs::path& path) {
        std::ofstream out(path, std::ios::binary);
        out << withLineFeeds(body);
        out.close();
        return static_cast<bool>(out);
    });
}

// Thunderbird and its rebuilds: one "-compose" list whose values it
// percent-decodes; the body comes from a file, so its length is no limit.
std::vector<std::string> thunderbirdArguments(const MapiMessage& message, const std::vector<std::string>& files,
                                              Outbox& outbox)
{
    std::vector<std::string> fields;
    const std::vector<std::string> recipients = recipientsOf(message);
    if (!recipients.empty())
        fields.push_back("to=" + uriField(joined(recipients, ",")));
    if (!text(message.lpszSubject).empty())
        fields.push_back("subject=" + uriField(message.lpszSubject));
    const std::string body = text(message.lpszNoteText);
    if (!body.empty()) {
        const std::string file = stagedBody(outbox, body);
        fields.push_back(file.empty() ? "body=" + uriField(body) : "message=" + uriField(file));
    }
    std::vector<std::string> uris;
    for (const std::string& file : files)
        uris.push_back(fileUri(file));
    if (!uris.empty())
        fields.push_back("attachment=" + uriField(joined(uris, ",")));
    return {"-compose", joined(fields, ",")};
}

// KMail: its own options, the body read from a file; the recipients after
// "--", so none passes for an option.
std::vector<std::string> kmailArguments(const MapiMessage& message, const std::vector<std::string>& files,
                                        Outbox& outbox)
{
    std::vector<std::string> args{"--composer"};
    if (!text(message.lpszSubject).empty())
        args.push_back("--subject=" + text(message.lpszSubject));
    const std::string body = text(message.lpszNoteText);
    if (!body.empty()) {
        const std::string file = stagedBody(outbox, body);
        args.push_back(file.empty() ? "--body=" + withLineFeeds(body) : "--msg=" + file);
    }
    for (const std::string& file : files)
        args.push_back("--attach=" + fileUri(file));
    args.push_back("--");
    for (const std::string& recipient : recipientsOf(message))
        args.push_back(recipient);
    return args;
}

// Claws Mail inserts the body from a file, whole; it reads a body from
// --compose-from-file too, but turns that into the same one-line URL.
// Sylpheed takes the body only in the URL, kept within its instance's line.
// Empty when even recipients and subject leave no room.
std::vector<std::string> clawsArguments(MailClientKind kind, const MapiMessage& message,
                                        const std::vector<std::string>& files, Outbox& outbox)
{
    const std::string body = text(message.lpszNoteText);
    const std::string file = kind == MailClientKind::ClawsMail && !body.empty() ? stagedBody(outbox, body) : "";
    const std::string uri = mailtoUri(message, {}, file.empty() ? body : "", instanceLineUriLimit);
    if (uri.size() > instanceLineUriLimit)
        return {};
    std::vector<std::string> args{"--compose", uri};
    if (!file.empty())
        args.insert(args.end(), {"--insert", file});
    if (!files.empty())
        args.push_back("--attach");
    args.insert(args.end(), files.begin(), files.end());
    return args;
}

std::vector<std::string> clientArguments(MailClientKind kind, const MapiMessage& message,
                                         const std::vector<std::string>& files, Outbox& outbox)
{
    switch (kind) {
    case MailClientKind::Thunderbird:
        return thunderbirdArguments(message, files, outbox);
    case MailClientKind::KMail:
        return kmailArguments(message, files, outbox);
    case MailClientKind::Evolution:
        // Evolution's own help: mailto:...&attach=/home/user/file
        return {mailtoUri(message, files, text(message.lpszNoteText), platform::longestArgument())};
    case MailClientKind::ClawsMail:
    case MailClientKind::Sylpheed:
        return clawsArguments(kind, message, files, outbox);
    case MailClientKind::Unknown:
        break;
    }
    return {};
}

// An instance that dies on the request it was handed dies at once; one that
// took the mail is still there after a while. True with no instance at all.
bool instanceSurvives(const std::vector<std::intptr_t>& instances, std::chrono::milliseconds watch)
{
    if (instances.empty())
        return true;
    const auto anyAlive = [&] { return std::any_of(instances.begin(), instances.end(), platform::processIsAlive); };
    const auto until = std::chrono::steady_clock::now() + watch;
    while (anyAlive()) {
        if (std::chrono::steady_clock::now() >= until)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

MapiULong sendMailToDesktopClient(const MapiMessage* message, MapiULong flags, ClientWaits waits)
{
    // A compose window can only show the mail, never send it unseen.
    if (message == nullptr || (flags & MAPI_DIALOG) == 0)
        return MAPI_E_FAILURE;
    if ((message->nRecipCount > 0 && message->lpRecips == nullptr)
        || (message->nFileCount > 0 && message->lpFiles == nullptr))
        return MAPI_E_FAILURE;
    for (MapiULong i = 0; i < message->nFileCount; ++i) {
        if (!isReadableFile(message->lpFiles[i].lpszPathName))
            return MAPI_E_ATTACHMENT_NOT_FOUND;
    }

    const std::optional<DesktopEntry> entry = readDesktopEntry(findDesktopFile(defaultMailtoHandler()));
    if (!entry)
        return MAPI_E_FAILURE;
    const MailClient client = identifyMailClient(*entry);
    // A browser drops an attachment and would send the path of ours to a web site.
    if (client.kind == MailClientKind::Unknown)
        return MAPI_E_NOT_SUPPORTED;

    Outbox outbox(client);
    std::vector<std::string> files;
    for (MapiULong i = 0; i < message->nFileCount; ++i) {
        std::string file = stagedAttachment(outbox, message->lpFiles[i]);
        if (file.empty()) {
            // A sandbox shows the client none of the user's files but its own.
            if (!client.sandboxCache.empty())
                return MAPI_E_FAILURE;
            file = message->lpFiles[i].lpszPathName;
        }
        files.push_back(std::move(file));
    }

    const std::vector<std::string> args = clientArguments(client.kind, *message, files, outbox);
    if (args.empty())
        return MAPI_E_TEXT_TOO_LARGE;
    for (const std::string& arg : args) {
        if (!platform::fitsOneArgument(arg))
            return MAPI_E_TEXT_TOO_LARGE;
    }

    // A start that finds the client running hands it the mail and ends at
    // once, exit status 0 whatever the instance then does with it.
    const std::vector<std::intptr_t> instances =
        client.program.empty() ? std::vector<std::intptr_t>{} : platform::processesNamed(client.program);
    const platform::ProcessOutcome outcome = platform::runProcess(commandWith(client, args), waits.start);
    switch (outcome.status) {
    case platform::ProcessOutcome::NotStarted:
        return MAPI_E_FAILURE;
    case platform::ProcessOutcome::StillRunning:
        // A client started afresh stays until its compose window closes.
        outbox.keep();
        return SUCCESS_SUCCESS;
    case platform::ProcessOutcome::Exited:
        break;
    }
    if (outcome.exitCode != 0 || !instanceSurvives(instances, waits.handOff))
        return MAPI_E_FAILURE;
    outbox.keep();
    return SUCCESS_SUCCESS;
}
