#pragma once

#include <memory>

namespace platform {

// Holds back, for the object's life, the signals that ask a process to end
// (SIGTERM, SIGINT, SIGHUP, SIGQUIT on POSIX), so that a file being written
// and renamed into place is finished before the process goes; a request
// that came meanwhile takes effect when the object goes. Windows ends a
// process without asking, so there it holds back nothing. A SIGKILL or a
// power cut still stop the process at once; the file then is either as it
// was or complete, and only an unfinished temporary file may be left.
class DeferredTermination {
public:
    DeferredTermination();
    ~DeferredTermination();
    DeferredTermination(const DeferredTermination&) = delete;
    DeferredTermination& operator=(const DeferredTermination&) = delete;

private:
    struct SavedMask;
    std::unique_ptr<SavedMask> saved_;
};

} // namespace platform
