#include "platform/termination.h"

#include <initializer_list>

#include <signal.h>

namespace platform {

struct DeferredTermination::SavedMask {
    sigset_t mask;
};

DeferredTermination::DeferredTermination() : saved_(new SavedMask)
{
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaddset(&ending, signal);
    if (pthread_sigmask(SIG_BLOCK, &ending, &saved_->mask) != 0)
        saved_.reset();
}

DeferredTermination::~DeferredTermination()
{
    // Restoring the mask delivers whatever came meanwhile.
    if (saved_)
        pthread_sigmask(SIG_SETMASK, &saved_->mask, nullptr);
}

} // namespace platform
