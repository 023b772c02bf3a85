#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/descriptor_posix.h"

namespace e2e {

struct MarionetteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A client of Marionette, the remote protocol built into Gecko applications:
// length-prefixed JSON over TCP. Scripts run in the application's own chrome,
// where its windows and their fields can be read without looking at pixels.
class Marionette {
public:
    // Connects to the loopback port, starts a session and enters the chrome
    // context. Throws MarionetteError.
    void connect(int port, std::chrono::milliseconds timeout);
    // Runs a script's body in the chrome context and returns its result.
    nlohmann::json executeScript(const std::string& script);
    // Asks the application to quit without prompting, waiting at most
    // timeout for its answer; the connection ends.
    void quit(std::chrono::milliseconds timeout);

private:
    nlohmann::json command(const std::string& name, const nlohmann::json& parameters);
    void send(const nlohmann::json& message);
    nlohmann::json receive();
    std::string receiveBytes(std::size_t count);

    platform::ScopedDescriptor socket_;
    int nextId_ = 1;
    std::chrono::milliseconds timeout_{30000};
};

} // namespace e2e
