// The command line as a host might get it wrong: the input's NUL-separated
// parts are the arguments. One argument names an issue file or is
// "--crash"; anything else is the one clear error. No run changes a file.
//
// The runs happen in a scratch directory holding a valid issue file, a
// product configuration, a log to pack and a FIFO a stray argument could
// name. Arguments are kept inside it: a "/" becomes "_", so no input makes
// the fuzzer read the machine's own files.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/crash_report.h"
#include "app/run.h"
#include "archive/report_archive.h"
#include "fuzz/fuzz_support.h"
#include "pellicor/logging.h"

using namespace fuzz_support;
using testing_support::readFile;
using testing_support::writeFile;

namespace fs = std::filesystem;

namespace {

const std::string issueFile =
    "<IssueReport><MailAddress>support@example.com</MailAddress><Subject>Blank map</Subject>"
    "<Body>It &amp; it</Body><AttachZip>report.zip</AttachZip></IssueReport>";
const std::string configuration =
    "<ORVAPlus><Internet><SupportEmail>crash@example.com</SupportEmail></Internet></ORVAPlus>";
const std::string logFile = "a log line\n";

const std::set<std::string> ownFiles = {"issue.xml", "ORVAPlus.xml", "QXF-0.log", "pipe.xml", "report.zip"};

std::vector<std::string> argumentsOf(const std::string& input)
{
    std::vector<std::string> arguments;
    if (input.empty())
        return arguments;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = input.find('\0', start);
        std::string argument = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        for (char& c : argument) {
            if (c == '/')
                c = '_';
        }
        arguments.push_back(argument);
        if (end == std::string::npos || arguments.size() == 8)
            return arguments;
        start = end + 1;
    }
}

void checkRequest(const std::string& argument, const ReportRequest& request)
{
    if (argument == "--crash") {
        require(request.mailAddress == "crash@example.com", "crash mode mails " + request.mailAddress);
        require(request.subject == makeCrashSubject(""), "crash mode's subject is " + request.subject);
        require(request.body == makeCrashBody(), "crash mode's body changed");
        require(request.attachZip == reportArchivePath(), "crash mode attaches " + request.attachZip);
    } else {
        require(argument == "issue.xml", "a request from " + argument);
        require(request.mailAddress == "support@example.com" && request.subject == "Blank map"
                    && request.body == "It & it" && request.attachZip == "report.zip",
                "the issue file was read wrong");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceLogging();
    fs::current_path(scratch().path());
    writeFile("issue.xml", issueFile);
    writeFile("ORVAPlus.xml", configuration);
    writeFile("QXF-0.log", logFile);
    ::mkfifo("pipe.xml", 0600);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> arguments = argumentsOf(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> owned{"pellicor"};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : owned)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    ReportRequest request;
    std::string error;
    try {
        fillReportRequest(getReportArgument(static_cast<int>(owned.size()), argv.data()), request);
    } catch (const LoggedException& raised) {
        error = raised.what();
    }

    if (arguments.size() != 1) {
        require(error == "Expecting one argument containing report xml file name.", "wrong count, error: " + error);
    } else if (error.empty()) {
        checkRequest(arguments[0], request);
    } else {
        require(error == "Failed to parse issue confix XML" + arguments[0]
                    || error == "Invalid issue config XML root element." || error == "Issue config XML is not valid.",
                "argument " + arguments[0] + ", error: " + error);
    }

    require(readFile("issue.xml") == issueFile, "issue.xml changed");
    require(readFile("ORVAPlus.xml") == configuration, "ORVAPlus.xml changed");
    require(readFile("QXF-0.log") == logFile, "QXF-0.log changed");
    for (const fs::directory_entry& entry : fs::directory_iterator("."))
        require(ownFiles.count(entry.path().filename().string()) == 1, "a file appeared: " + entry.path().string());
    return 0;
}
