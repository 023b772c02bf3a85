#pragma once

#include <string>

namespace platform {

// The mail client the desktop offers for new mail, as the desktop names it:
// on Windows the default value of Software\Clients\Mail (the user's choice
// first, then the machine's), elsewhere the desktop file that xdg-mime names
// for mailto: URLs. Empty when the desktop names none.
std::string desktopMailClient();

} // namespace platform
