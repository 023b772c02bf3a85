#include "mapi_provider/mail_client.h"

#include <cstdlib>

namespace {

struct Known {
    const char* name;
    MailClientKind kind;
};

// Programs, and snap names, as Debian and the snaps install them.
const Known programs[] = {
    {"thunderbird", MailClientKind::Thunderbird}, {"icedove", MailClientKind::Thunderbird},
    {"betterbird", MailClientKind::Thunderbird},  {"evolution", MailClientKind::Evolution},
    {"kmail", MailClientKind::KMail},             {"claws-mail", MailClientKind::ClawsMail},
    {"sylpheed", MailClientKind::Sylpheed},
};

const Known flatpaks[] = {
    {"org.mozilla.Thunderbird", MailClientKind::Thunderbird},
    {"net.thunderbird.Thunderbird", MailClientKind::Thunderbird},
    {"eu.betterbird.Betterbird", MailClientKind::Thunderbird},
    {"org.gnome.Evolution", MailClientKind::Evolution},
    {"org.kde.kmail2", MailClientKind::KMail},
};

template <std::size_t N>
MailClientKind lookUp(const Known (&table)[N], const std::string& name)
{
    for (const Known& known : table) {
        if (name == known.name)
            return known.kind;
    }
    return MailClientKind::Unknown;
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isOption(const std::string& arg)
{
    return !arg.empty() && arg[0] == '-';
}

// The first argument from `from` on that is not an option, or the end.
std::size_t firstOperand(const std::vector<std::string>& args, std::size_t from)
{
    while (from < args.size() && isOption(args[from]))
        ++from;
    return from;
}

bool isFileCode(const std::string& arg)
{
    return arg == "%u" || arg == "%U" || arg == "%f" || arg == "%F";
}

// "%%" stands for "%"; other codes inside an argument expand to nothing.
std::string withoutCodes(const std::string& arg)
{
    std::string out;
    for (std::string::size_type i = 0; i < arg.size(); ++i) {
        if (arg[i] != '%' || i + 1 == arg.size())
            out += arg[i];
        else if (arg[++i] == '%')
            out += '%';
    }
    return out;
}

void expandFieldCodes(const DesktopEntry& entry, MailClient& client)
{
    bool placed = false;
    for (const std::string& arg : entry.exec) {
        if (isFileCode(arg)) {
            if (!placed)
                client.argumentsAt = client.command.size();
            placed = true;
        } else if (arg == "%c") {
            client.command.push_back(entry.name);
        } else if (arg == "%k") {
            client.command.push_back(entry.path);
        } else if (arg == "%i") {
            if (!entry.icon.empty())
                client.command.insert(client.command.end(), {"--icon", entry.icon});
        } else if (arg == "@@" || arg == "@@u") {
            // Flatpak's file forwarding marks; what we hand over needs none.
        } else if (arg.size() == 2 && arg[0] == '%' && arg[1] != '%') {
            // A deprecated code: expands to nothing.
        } else {
            client.command.push_back(withoutCodes(arg));
        }
    }
    if (!placed)
        client.argumentsAt = client.command.size();
}

std::string homeDirectory()
{
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? home : "";
}

} // namespace

MailClient identifyMailClient(const DesktopEntry& entry)
{
    MailClient client;
    expandFieldCodes(entry, client);
    const std::vector<std::string>& args = client.command;

    std::size_t program = 0;
    if (!args.empty() && baseName(args[0]) == "env") {
        program = 1;
        while (program < args.size() && (isOption(args[program]) || args[program].find('=') != std::string::npos))
            ++program;
    }
    if (program >= args.size())
        return client;

    const std::string name = baseName(args[program]);
    MailClientKind kind = MailClientKind::Unknown;
    std::string cache;
    if (name == "flatpak" && program + 1 < args.size() && args[program + 1] == "run") {
        const std::size_t app = firstOperand(args, program + 2);
        if (app < args.size()) {
            kind = lookUp(flatpaks, args[app]);
            cache = "/.var/app/" + args[app] + "/cache";
        }
    } else if (args[program].rfind("/snap/bin/", 0) == 0
               || (name == "snap" && program + 1 < args.size() && args[program + 1] == "run")) {
        const std::size_t app = name == "snap" ? firstOperand(args, program + 2) : program;
        if (app < args.size()) {
            // "/snap/bin/name.app" runs an app of the snap "name".
            const std::string snap = baseName(args[app]).substr(0, baseName(args[app]).find('.'));
            kind = lookUp(programs, snap);
            cache = "/snap/" + snap + "/common/.cache";
        }
    } else {
        kind = lookUp(programs, name);
        client.program = name;
    }
    if (!cache.empty()) {
        const std::string home = homeDirectory();
        if (home.empty())
            return client;
        client.sandboxCache = home + cache;
    }
    client.kind = kind;
    return client;
}

std::vector<std::string> commandWith(const MailClient& client, const std::vector<std::string>& arguments)
{
    std::vector<std::string> command = client.command;
    command.insert(command.begin() + static_cast<std::ptrdiff_t>(client.argumentsAt), arguments.begin(),
                   arguments.end());
    return command;
}
