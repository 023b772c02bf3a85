#include "pellicor/config_store.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "logging/log_line.h"
#include "platform/atomic_file.h"
#include "platform/scoped_handle.h"
#include "xml_text.h"

namespace fs = std::filesystem;

namespace tvk {

namespace {

// Larger files are no configuration of ours; refusing them keeps a stray
// dump from being parsed into memory (and the size within the parser's int).
constexpr std::uintmax_t maxFileSize = 10 * 1024 * 1024;

// libxml2's xmlFree is a variable a host may set, not a function.
struct XmlCharTraits {
    using Handle = xmlChar*;
    static constexpr Handle invalid() noexcept { return nullptr; }
    static void free(Handle text) noexcept { xmlFree(text); }
};
using XmlCharPtr = platform::ScopedHandle<XmlCharTraits>;

// Compares the name as the file spells it: "a:b" matches an element b in a
// declared namespace of prefix a, and an element whose prefix is declared
// nowhere, which the parser names "a:b" as a whole.
bool hasName(xmlNodePtr node, const std::string& name)
{
    const char* own = reinterpret_cast<const char*>(node->name);
    if (node->type != XML_ELEMENT_NODE || own == nullptr)
        return false;
    const char* prefix = node->ns != nullptr ? reinterpret_cast<const char*>(node->ns->prefix) : nullptr;
    if (prefix == nullptr)
        return name.compare(own) == 0;
    const std::size_t length = std::strlen(prefix);
    return name.size() > length && name.compare(0, length, prefix) == 0 && name[length] == ':'
           && name.compare(length + 1, std::string::npos, own) == 0;
}

// A new element named name, with its literal text if any, as parent's last
// child. It is saved under the name as given: a prefix declared in the file
// binds it on the next load, where hasName() still finds it. Unlike
// xmlNewTextChild, it does not take the parent's namespace, under which an
// unprefixed name would read back as another.
xmlNodePtr appendElement(xmlNodePtr parent, const std::string& name, const xmlChar* text)
{
    xmlNodePtr element = xmlNewDocRawNode(parent->doc, nullptr, BAD_CAST name.c_str(), text);
    if (element != nullptr && xmlAddChild(parent, element) == nullptr) {
        xmlFreeNode(element);
        return nullptr;
    }
    return element;
}

std::string textOf(xmlNodePtr element)
{
    XmlCharPtr content(xmlNodeGetContent(element));
    return content ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

// The file's bytes, or false with the reason; unreadable tells whether a
// file is there whose bytes a save must not destroy.
bool readConfigFile(const std::string& path, std::string& bytes, std::string& reason, bool& unreadable)
{
    std::error_code ec;
    const fs::path file = fs::u8path(path);
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status)) {
        reason = "no such file";
        return false;
    }
    if (fs::is_directory(status)) {
        reason = "is a directory";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        reason = "is not a regular file";
        return false;
    }
    unreadable = true;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size > maxFileSize) {
        reason = ec ? "cannot be read" : "is larger than " + std::to_string(maxFileSize) + " bytes";
        return false;
    }
    // One read of the size just taken: a byte at a time through stream
    // iterators took a tenth of loading a 1 MB file.
    std::ifstream in(file, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    in.read(&bytes[0], static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in)  // grown meanwhile: the rest too
        bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || (in.fail() && !in.eof())) {
        reason = "cannot be read";
        return false;
    }
    return true;
}

XmlDocPtr parseConfig(const std::string& path, const std::string& bytes, std::string& reason)
{
    const platform::ScopedPointer<xmlParserCtxt, &xmlFreeParserCtxt> context(xmlNewParserCtxt());
    if (!context) {
        reason = "no memory to parse it";
        return nullptr;
    }
    // Parsed from memory so that the name stays a file name (xmlReadFile
    // would also take "-", URLs and gzip data). Entities are not expanded,
    // and nothing is fetched from the network.
    XmlDocPtr document(xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()),
                                         path.c_str(), nullptr,
                                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!document) {
        const xmlError* error = xmlCtxtGetLastError(context.get());
        reason = "is not well-formed XML";
        if (error != nullptr && error->message != nullptr) {
            std::string message = error->message;
            while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
                message.pop_back();
            std::replace(message.begin(), message.end(), '\n', ' ');
            reason += " (line " + std::to_string(error->line) + ": " + message + ")";
        }
        return nullptr;
    }
    // Searches start at the document's first node, which must therefore be
    // the root element. A document type could also declare entities that
    // expand to any size when a value is read.
    if (document->intSubset != nullptr || document->extSubset != nullptr) {
        reason = "has a document type declaration";
        return nullptr;
    }
    if (document->children == nullptr || document->children->type != XML_ELEMENT_NODE) {
        reason = "has a comment or processing instruction before its root element";
        return nullptr;
    }
    return document;
}

XmlDocPtr newDocument(const std::string& rootName)
{
    XmlDocPtr document(xmlNewDoc(BAD_CAST "1.0"));
    xmlDocSetRootElement(document.get(), xmlNewDocNode(document.get(), nullptr, BAD_CAST rootName.c_str(), nullptr));
    return document;
}

// Replaces the element's content with text, taken literally but for the
// references resolveReferences() knows: "Tom & Jerry" stays as it is.
void setText(xmlNodePtr element, const std::string& text)
{
    const std::string literal = resolveReferences(text);
    xmlNodeSetContent(element, nullptr);
    xmlNodeAddContentLen(element, BAD_CAST literal.c_str(), static_cast<int>(literal.size()));
}

} // namespace

IConfigManager::~IConfigManager() = default;

XMLConfigManager::XMLConfigManager(const std::string& fileName, const std::string& rootName)
    : fileName(fileName), rootName(rootName)
{
    logLine(moduleCFG, Logger::levelDebug, "XMLConfigManager: init config file: ", fileName, "\n");
    load();
    if (!document) {
        logLine(moduleCFG, Logger::levelDebug, "XMLConfigManager: create new config (file: ", fileName, ")\n");
        document = newDocument(rootName);
    }
}

XMLConfigManager::~XMLConfigManager()
{
    logLine(moduleCFG, Logger::levelDebug, "~XMLConfigManager: Destroy config manager (file: ", fileName, ")\n");
    if (!document)
        return;
    try {
        save();
    } catch (...) {
        // Out of memory while saving: the old file is intact, and a
        // destructor must not throw.
    }
    document.reset();
}

void XMLConfigManager::init()
{
}

bool XMLConfigManager::load()
{
    std::string bytes;
    std::string reason;
    document.reset();
    fileUnreadable = false;
    if (readConfigFile(fileName, bytes, reason, fileUnreadable))
        document = parseConfig(fileName, bytes, reason);
    if (document) {
        fileUnreadable = false;
        return true;
    }
    logLine(moduleCFG, Logger::levelError, "Failed to parse ", fileName, "\n");
    logLine(moduleCFG, Logger::levelWarn, "XMLConfigManager: ", fileName, ": ", reason, "\n");
    return false;
}

bool XMLConfigManager::reload()
{
    document.reset();
    const bool parsed = load();
    if (!document)
        document = newDocument(rootName);
    return parsed;
}

bool XMLConfigManager::save()
{
    logLine(moduleCFG, Logger::levelDebug, "Save config file: ", fileName, "\n");
    if (!document)
        return false;
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemory(document.get(), &memory, &size, 1);
    const XmlCharPtr text(memory);
    if (!text || size < 0) {
        logLine(moduleCFG, Logger::levelError, "Failed to save ", fileName, ": no memory to write the document\n");
        return false;
    }
    if (fileUnreadable && !keepUnreadableFile())
        return false;
    std::string error;
    if (!platform::writeFileAtomically(fileName, std::string(reinterpret_cast<const char*>(memory), size), error)) {
        logLine(moduleCFG, Logger::levelError, "Failed to save ", fileName, ": ", error, "\n");
        return false;
    }
    return true;
}

bool XMLConfigManager::keepUnreadableFile()
{
    std::error_code ec;
    if (!fs::is_regular_file(fs::u8path(fileName), ec)) {
        fileUnreadable = false;
        return true;
    }
    for (int n = 0; n < 1000; ++n) {
        const std::string copy = fileName + ".unreadable" + (n == 0 ? std::string() : "." + std::to_string(n));
        if (fs::exists(fs::symlink_status(fs::u8path(copy), ec)))
            continue;
        if (fs::copy_file(fs::u8path(fileName), fs::u8path(copy), fs::copy_options::none, ec)) {
            fileUnreadable = false;
            logLine(moduleCFG, Logger::levelWarn, "XMLConfigManager: ", fileName,
                    " could not be read; its old contents are kept in ", copy, "\n");
            return true;
        }
        if (ec == std::errc::file_exists)
            continue;
        const std::string failure = ec.message();
        fs::remove(fs::u8path(copy), ec);
        logLine(moduleCFG, Logger::levelError, "Failed to save ", fileName,
                ": cannot keep its unreadable contents in ", copy, ": ", failure, "\n");
        return false;
    }
    logLine(moduleCFG, Logger::levelError, "Failed to save ", fileName,
            ": no free name to keep its unreadable contents\n");
    return false;
}

bool XMLConfigManager::getBool(const std::string& key, bool& value, const std::string& section)
{
    std::string text;
    if (!getString(key, text, section) || (text != "Yes" && text != "No"))
        return false;
    value = text == "Yes";
    return true;
}

bool XMLConfigManager::getDouble(const std::string& key, double& value, const std::string& section)
{
    std::string text;
    if (!getString(key, text, section))
        return false;
    value = parseDouble(text);
    return true;
}

bool XMLConfigManager::getInt(const std::string& key, int& value, const std::string& section)
{
    std::string text;
    if (!getString(key, text, section))
        return false;
    value = parseInt(text);
    return true;
}

bool XMLConfigManager::getString(const std::string& key, std::string& value, const std::string& section)
{
    if (!document)
        return false;
    std::string text;
    if (!accessKey(findSection(document->children, section, Read), key, text, Read))
        return false;
    value = text;
    return true;
}

bool XMLConfigManager::setBool(const std::string& key, bool value, const std::string& section)
{
    return writeValue(key, value ? "Yes" : "No", section, Write);
}

bool XMLConfigManager::setDouble(const std::string& key, double value, const std::string& section)
{
    return writeValue(key, formatDouble(value), section, Write);
}

bool XMLConfigManager::setInt(const std::string& key, int value, const std::string& section)
{
    return writeValue(key, formatInt(value), section, Write);
}

bool XMLConfigManager::setString(const std::string& key, const std::string& value, const std::string& section)
{
    return writeValue(key, value, section, Write);
}

bool XMLConfigManager::setDefaultString(const std::string& key, const std::string& value, const std::string& section)
{
    return writeValue(key, value, section, Check);
}

bool XMLConfigManager::writeValue(const std::string& key, const std::string& text, const std::string& section,
                                  AccessMode mode)
{
    if (!document)
        return false;
    // Such a key or value would be saved as XML that no longer parses,
    // losing every other setting with it.
    if (!isElementName(key) || !isStorableText(text)) {
        logLine(moduleCFG, Logger::levelError, "XMLConfigManager: not written to ", fileName, ": key \"", key,
                "\" in section \"", section, "\" is no XML name or its value holds bytes XML cannot store\n");
        return false;
    }
    xmlNodePtr sectionNode = findSection(document->children, section, Write);
    if (sectionNode == nullptr)
        return false;
    std::string value = text;
    if (accessKey(sectionNode, key, value, mode))
        return true;
    appendElement(sectionNode, key, BAD_CAST resolveReferences(text).c_str());
    return false;
}

xmlNodePtr XMLConfigManager::findElement(xmlNodePtr node, const std::string& name)
{
    if (node == nullptr)
        return nullptr;
    if (hasName(node, name))
        return node;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (xmlNodePtr found = findElement(child, name))
            return found;
    }
    return nullptr;
}

xmlNodePtr XMLConfigManager::findSection(xmlNodePtr node, const std::string& section, AccessMode mode)
{
    if (node == nullptr)
        return nullptr;
    const std::string::size_type slash = section.find('/');
    const std::string head = section.substr(0, slash);
    const std::string rest = slash == std::string::npos ? std::string() : section.substr(slash + 1);

    xmlNodePtr found = nullptr;
    for (xmlNodePtr child = node->children; child != nullptr && found == nullptr; child = child->next) {
        if (hasName(child, head))
            found = child;
    }
    if (found == nullptr) {
        if (mode != Write || head.empty())
            return nullptr;
        if (!isElementName(head)) {
            logLine(moduleCFG, Logger::levelError, "XMLConfigManager: section \"", head, "\" not created in ", fileName,
                    ": it is no XML name\n");
            return nullptr;
        }
        found = appendElement(node, head, nullptr);
        if (found == nullptr)
            return nullptr;
    }
    return rest.empty() ? found : findSection(found, rest, mode);
}

bool XMLConfigManager::accessKey(xmlNodePtr node, const std::string& key, std::string& text, AccessMode mode)
{
    if (node == nullptr)
        return false;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (!hasName(child, key)) {
            if (accessKey(child, key, text, mode))
                return true;
            continue;
        }
        if (mode == Write) {
            if (!isStorableText(text)) {
                logLine(moduleCFG, Logger::levelError, "XMLConfigManager: key \"", key, "\" not written in ", fileName,
                        ": its value holds bytes XML cannot store\n");
                return false;
            }
            setText(child, text);
        } else if (mode == Read) {
            text = textOf(child);
        }
        return true;
    }
    return false;
}

} // namespace tvk
