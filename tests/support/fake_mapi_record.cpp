#include "tests/support/fake_mapi_record.h"

#include <sstream>

namespace testing_support {

FakeMapiRecord parseFakeMapiRecord(const std::string& record)
{
    // Texts come as "name length bytes", since they may hold line ends.
    FakeMapiRecord fields;
    std::istringstream in(record);
    std::string name;
    while (in >> name) {
        std::string first;
        in >> first;
        if (first == "null" || first == "set" || name.find(".lpsz") == std::string::npos) {
            fields.emplace(name, first);
            continue;
        }
        std::string text(std::stoul(first), '\0');
        in.get();
        in.read(&text[0], static_cast<std::streamsize>(text.size()));
        fields.emplace(name, text);
    }
    return fields;
}

std::string recordedField(const FakeMapiRecord& record, const std::string& name)
{
    auto it = record.find(name);
    return it == record.end() ? "<absent>" : it->second;
}

} // namespace testing_support
