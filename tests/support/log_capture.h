#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pellicor/logging.h"

namespace testing_support {

// One message as the logger handed it to a writer.
struct LoggedLine {
    int module;
    int level;
    std::string message;
};

// Registers itself with the process-wide logger and keeps what reaches it
// while the test that made it runs. The logger keeps writers for good, so
// one capture serves the whole test program and is cleared per test.
class LogCapture : public Logger::IWriter {
public:
    static LogCapture& instance();

    void write(Logger& logger, const std::string& message, int module, int level) override;
    void clear();
    std::vector<LoggedLine> lines() const;
    // The messages alone, in order.
    std::vector<std::string> messages() const;
    // Runs action, under the logger's lock, whenever a message that starts
    // with prefix is logged: to act at the moment the code logs its step.
    // An empty action ends it.
    void onMessage(const std::string& prefix, std::function<void()> action);

private:
    LogCapture() = default;
    std::vector<LoggedLine> lines_;
    std::string prefix_;
    std::function<void()> action_;
};

} // namespace testing_support
