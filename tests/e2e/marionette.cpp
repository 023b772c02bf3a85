#include "tests/e2e/marionette.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace e2e {
namespace {

void waitFor(int socket, short events, std::chrono::milliseconds timeout)
{
    for (;;) {
        pollfd entry{socket, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
        if (ready > 0)
            return;
        if (ready < 0 && errno == EINTR)
            continue;
        throw MarionetteError("Marionette did not answer in time");
    }
}

} // namespace

void Marionette::connect(int port, std::chrono::milliseconds timeout)
{
    timeout_ = timeout;
    nextId_ = 1;
    socket_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket_)
        throw MarionetteError("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw MarionetteError("cannot connect to Marionette on port " + std::to_string(port));

    const nlohmann::json greeting = receive();
    if (greeting.value("marionetteProtocol", 0) < 3)
        throw MarionetteError("unexpected greeting " + greeting.dump());
    command("WebDriver:NewSession", nlohmann::json::object());
    command("Marionette:SetContext", {{"value", "chrome"}});
}

nlohmann::json Marionette::executeScript(const std::string& script)
{
    const nlohmann::json result = command("WebDriver:ExecuteScript", {{"script", script}, {"args", nlohmann::json::array()}});
    return result.is_object() && result.contains("value") ? result["value"] : nlohmann::json();
}

void Marionette::quit(std::chrono::milliseconds timeout)
{
    timeout_ = timeout;
    try {
        command("Marionette:Quit", {{"flags", {"eForceQuit"}}});
    } catch (const MarionetteError&) {
        // It may go before it answers; the caller waits for the process either way.
    }
}

nlohmann::json Marionette::command(const std::string& name, const nlohmann::json& parameters)
{
    const int id = nextId_++;
    send({0, id, name, parameters});
    for (;;) {
        const nlohmann::json reply = receive();
        // [1, id, error, result]; anything else is not an answer to us.
        if (!reply.is_array() || reply.size() != 4 || reply[0] != 1 || reply[1] != id)
            continue;
        if (!reply[2].is_null())
            throw MarionetteError(name + " failed: " + reply[2].value("message", reply[2].dump()));
        return reply[3];
    }
}

void Marionette::send(const nlohmann::json& message)
{
    const std::string body = message.dump();
    const std::string packet = std::to_string(body.size()) + ":" + body;
    std::size_t sent = 0;
    while (sent < packet.size()) {
        waitFor(socket_.get(), POLLOUT, timeout_);
        const ssize_t n = ::send(socket_.get(), packet.data() + sent, packet.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw MarionetteError("Marionette closed the connection");
        sent += static_cast<std::size_t>(n);
    }
}

nlohmann::json Marionette::receive()
{
    std::string length;
    for (;;) {
        const std::string c = receiveBytes(1);
        if (c == ":")
            break;
        if (c[0] < '0' || c[0] > '9' || length.size() > 9)
            throw MarionetteError("not a Marionette packet");
        length += c;
    }
    return nlohmann::json::parse(receiveBytes(std::stoul(length)));
}

std::string Marionette::receiveBytes(std::size_t count)
{
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        waitFor(socket_.get(), POLLIN, timeout_);
        const ssize_t n = ::recv(socket_.get(), bytes.data() + got, count - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw MarionetteError("Marionette closed the connection");
        got += static_cast<std::size_t>(n);
    }
    return bytes;
}

} // namespace e2e
