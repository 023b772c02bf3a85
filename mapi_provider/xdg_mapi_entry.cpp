#include <chrono>
#include <type_traits>

#include "mail/mapi.h"
#include "mapi_provider/xdg_mapi_provider.h"

PELLICOR_EXPORT MapiULong PELLICOR_STDCALL MAPISendMail(MapiHandle, std::uintptr_t, MapiMessage* lpMessage,
                                                       MapiULong flFlags, MapiULong)
{
    try {
        return sendMailToDesktopClient(lpMessage, flFlags, {std::chrono::seconds(10), std::chrono::seconds(2)});
    } catch (...) {
        // Nothing may unwind into a C caller.
        return MAPI_E_FAILURE;
    }
}

static_assert(std::is_same<decltype(&MAPISendMail), MapiSendMailFunction>::value,
              "MAPISendMail must match the type its callers look it up as");
