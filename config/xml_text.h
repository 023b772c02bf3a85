#pragma once

#include <string>

// The rules a text must follow to survive a save and a reload, and the
// number formats of the file, which never follow the host's locale.
namespace tvk {

// Well-formed UTF-8 made only of characters XML 1.0 allows.
bool isStorableText(const std::string& text);
// Usable as an element name that reads back the same: a name with or
// without one prefix ("a:b").
bool isElementName(const std::string& name);
// The text with "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" and character
// references replaced by their characters; any other "&" stays as it is.
std::string resolveReferences(const std::string& text);

std::string formatInt(int value);
// General notation, six significant digits, "." as decimal point.
std::string formatDouble(double value);
// As atoi and atof under the "C" locale, without atoi's overflow.
int parseInt(const std::string& text);
double parseDouble(const std::string& text);

} // namespace tvk
