#include "app/issue_definition_reader.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <libxml/parser.h>

#include "pellicor/logging.h"
#include "platform/files.h"

namespace {

// The file's bytes, or false when it cannot be read as a regular file or
// holds more than the parser can take.
bool readWholeFile(const std::string& path, std::string& bytes)
{
    // A FIFO would block the run until someone writes to it, and a device
    // such as /dev/zero never ends: only a regular file is opened.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec))
        return false;
    const platform::ScopedFile file(platform::openFile(path, "rb"));
    if (!file)
        return false;
    char chunk[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        // A file still growing as it is read is refused once it is too big.
        if (bytes.size() + n > static_cast<std::size_t>(INT_MAX))
            return false;
        bytes.append(chunk, n);
    }
    // A directory opens on some systems but cannot be read.
    return std::ferror(file.get()) == 0;
}

// The text of an element's first child, when that child is text.
const xmlChar* textValue(xmlNodePtr element)
{
    xmlNodePtr first = element->children;
    if (first == nullptr || first->type != XML_TEXT_NODE)
        return nullptr;
    return first->content;
}

} // namespace

IssueDefinitionReader::~IssueDefinitionReader()
{
    document.reset();
    xmlCleanupParser();
}

xmlNodePtr IssueDefinitionReader::loadRoot(const std::string& path)
{
    // The file is read here and parsed from memory so the path stays a
    // path: xmlReadFile would also take "-" as standard input, fetch URLs
    // and unpack gzip data. No entities beyond the predefined ones are
    // expanded and nothing is loaded from the network.
    std::string bytes;
    if (readWholeFile(path, bytes)) {
        document.reset(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), path.c_str(), nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    } else {
        document.reset();
    }
    if (!document)
        throw LoggedException("Failed to parse issue confix XML" + path);

    xmlNodePtr root = xmlDocGetRootElement(document.get());
    if (root == nullptr || xmlStrcmp(root->name, BAD_CAST "IssueReport") != 0)
        throw LoggedException("Invalid issue config XML root element.");
    return root;
}

void IssueDefinitionReader::read(const std::string& path, ReportRequest& request)
{
    struct Field {
        const char* name;
        std::string ReportRequest::*member;
    };
    static const Field fields[] = {
        {"MailAddress", &ReportRequest::mailAddress},
        {"Subject", &ReportRequest::subject},
        {"Body", &ReportRequest::body},
        {"AttachZip", &ReportRequest::attachZip},
    };

    xmlNodePtr root = loadRoot(path);
    for (xmlNodePtr node = root->children; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (const Field& field : fields) {
            if (xmlStrcmp(node->name, BAD_CAST field.name) != 0)
                continue;
            // Repeated elements: the last one with a value wins.
            if (const xmlChar* value = textValue(node))
                request.*field.member = reinterpret_cast<const char*>(value);
        }
    }

    if (request.mailAddress.empty() || request.subject.empty())
        throw LoggedException("Issue config XML is not valid.");
}
