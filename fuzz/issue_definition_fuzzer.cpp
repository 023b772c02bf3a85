// Whatever bytes lie in the issue-definition file, the reader gives a
// request with a recipient and a subject, or one of its own errors; the
// file stays as it was, and every field survives the wide MAPI route. What
// it read, a host writes back through Pellicor::report, and the reader then
// gives the same four fields.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/issue_definition_reader.h"
#include "fuzz/fuzz_support.h"
#include "pellicor/logging.h"
#include "pellicor/report.h"

using namespace fuzz_support;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = scratch().file("issue.xml");
    testing_support::writeFile(path, bytes);

    ReportRequest request;
    std::string error;
    try {
        IssueDefinitionReader reader;
        reader.read(path, request);
    } catch (const LoggedException& raised) {
        error = raised.what();
    }
    require(testing_support::readFile(path) == bytes, "the issue file was changed");
    if (!error.empty()) {
        require(error == "Failed to parse issue confix XML" + path || error == "Invalid issue config XML root element."
                    || error == "Issue config XML is not valid.",
                "an error of no known text: " + error);
        return 0;
    }
    require(!request.mailAddress.empty() && !request.subject.empty(), "a request without recipient or subject");
    for (const std::string* field : {&request.mailAddress, &request.subject, &request.body, &request.attachZip})
        require(isValidUtf8(*field), "a field that is no UTF-8: " + *field);

    const std::string written = scratch().file("written.xml");
    require(pellicor::writeIssueFile(written, {request.mailAddress, request.subject, request.body, request.attachZip},
                                     error),
            "a request the report library cannot write: " + error);
    ReportRequest again;
    IssueDefinitionReader reader;
    reader.read(written, again);
    require(again.mailAddress == request.mailAddress && again.subject == request.subject && again.body == request.body
                && again.attachZip == request.attachZip,
            "a field changed on its way through the report library");
    return 0;
}
