#include "platform/termination.h"

namespace platform {

struct DeferredTermination::SavedMask {};

DeferredTermination::DeferredTermination() = default;

DeferredTermination::~DeferredTermination() = default;

} // namespace platform
