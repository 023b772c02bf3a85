#pragma once

#include <map>
#include <string>

namespace testing_support {

// The fake Simple MAPI provider's record of one call, as field -> value in
// the order the fields came ("null" or "set" for pointers).
using FakeMapiRecord = std::multimap<std::string, std::string>;

FakeMapiRecord parseFakeMapiRecord(const std::string& record);

// One field's first value, or "<absent>".
std::string recordedField(const FakeMapiRecord& record, const std::string& name);

} // namespace testing_support
