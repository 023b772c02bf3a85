#include "tests/support/log_capture.h"

namespace testing_support {

LogCapture& LogCapture::instance()
{
    static LogCapture* capture = [] {
        auto* c = new LogCapture;
        Logger::getInstance()->addWriter(c);
        return c;
    }();
    return *capture;
}

void LogCapture::write(Logger&, const std::string& message, int module, int level)
{
    // Called under the logger's lock: no lock of our own is needed.
    lines_.push_back({module, level, message});
    if (action_ && message.rfind(prefix_, 0) == 0)
        action_();
}

void LogCapture::clear()
{
    lines_.clear();
}

void LogCapture::onMessage(const std::string& prefix, std::function<void()> action)
{
    prefix_ = prefix;
    action_ = std::move(action);
}

std::vector<LoggedLine> LogCapture::lines() const
{
    return lines_;
}

std::vector<std::string> LogCapture::messages() const
{
    std::vector<std::string> result;
    for (const LoggedLine& line : lines_)
        result.push_back(line.message);
    return result;
}

} // namespace testing_support
