#pragma once

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

private:
    LogCapture() = default;
    std::vector<LoggedLine> lines_;
};

} // namespace testing_support
