#pragma once

#include <string>

// Percent-encodes one field of a mailto: URL. Every byte but the unreserved
// ones becomes %XX, and each line break (LF, CR LF or a lone CR) becomes
// %0D%0A, so the field reaches the mail client exactly as given.
std::string escapeMailtoUrl(const std::string& field);
