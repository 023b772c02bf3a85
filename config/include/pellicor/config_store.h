#pragma once

#include <memory>
#include <string>

#include <libxml/tree.h>

#include "pellicor/logging.h"

/// \file
/// The settings store of the configuration library (`Pellicor::config`):
/// typed settings over one XML file.
///
/// Hosts may be built apart from this library: the order in which the
/// interfaces below declare their virtual operations is their slot order and
/// must not change.

/// The configuration library's namespace.
namespace tvk {


/// The module the settings store logs under ("CFG ", the last a blank).
inline constexpr int moduleCFG = loggerModule("CFG ");

/// Frees a libxml2 document; the deleter of XmlDocPtr.
struct XmlDocFree {
    /// Calls xmlFreeDoc().
    void operator()(xmlDoc* document) const noexcept { xmlFreeDoc(document); }
};
/// An owned libxml2 document.
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

/// Typed settings by key and section path.
///
/// A section path names elements from the root's children down, joined by
/// "/" ("A/B" is section B inside A). A key is the first element of that
/// name anywhere below the section, in document order. Keys and sections are
/// XML names, with or without a prefix ("a:b"), compared byte for byte.
/// Booleans are kept as "Yes"/"No", numbers in the "C" locale whatever the
/// host's locale. A getter that finds nothing returns false and leaves its
/// output alone; getters never create anything.
///
/// No operation locks: use one store from one thread at a time.
class IConfigManager {
public:
    virtual ~IConfigManager();
    /// Does nothing in the stores of this library.
    virtual void init() = 0;
    /// Reads the file again, dropping unsaved changes; true when it was
    /// parsed. When it was not, the store goes on with an empty document.
    virtual bool reload() = 0;
    /// Writes the document to the file in one step; true when it was written.
    virtual bool save() = 0;
    /// Reads a boolean: true only for the exact texts "Yes" and "No";
    /// any other text (yes, true, 1) returns false with value unchanged.
    virtual bool getBool(const std::string& key, bool& value, const std::string& section) = 0;
    /// Reads a decimal as atof would in the "C" locale: the leading numeric
    /// part, 0 when there is none; true whenever the key exists.
    virtual bool getDouble(const std::string& key, double& value, const std::string& section) = 0;
    /// Reads an integer as atoi would ("12abc" gives 12, "abc" 0), clamped to
    /// the range of int; true whenever the key exists.
    virtual bool getInt(const std::string& key, int& value, const std::string& section) = 0;
    /// Reads the key's whole text content; true when the key exists.
    virtual bool getString(const std::string& key, std::string& value, const std::string& section) = 0;
    /// \name Setters
    /// Each returns true when an existing key's text was replaced, and false
    /// when the key was created (directly under the section, missing sections
    /// made on the way) or when nothing could be written: no document, an
    /// empty section path, a key or section that is no XML name, a value that
    /// is no well-formed UTF-8 or holds characters XML 1.0 cannot store.
    /// "&amp;"-style references and character references in a string value
    /// stand for their character; any other "&" is kept as it is. Nothing is
    /// saved until save().
    /// @{

    /// Writes "Yes" or "No".
    virtual bool setBool(const std::string& key, bool value, const std::string& section) = 0;
    /// Writes the value with six significant digits, "." as decimal point.
    virtual bool setDouble(const std::string& key, double value, const std::string& section) = 0;
    /// Writes the value in decimal.
    virtual bool setInt(const std::string& key, int value, const std::string& section) = 0;
    /// Writes the text.
    virtual bool setString(const std::string& key, const std::string& value, const std::string& section) = 0;
    /// @}
};

/// The settings of one XML file, read when the store is made and written back
/// by save() and by the destructor.
///
/// A file that cannot be used (missing, not well-formed, with a document type,
/// larger than 10 MiB) is logged and leaves the store with an empty document
/// whose root is rootName; the first save over such a file keeps its bytes
/// beside it as "<fileName>.unreadable" (".unreadable.1", ... when taken).
/// A save replaces the file in one step: a reader sees the old file or the
/// new one. Not thread-safe: one thread at a time, and no other thread may
/// use libxml2 while a file is parsed.
/// \code
/// const std::string root = "Host";           // kept by reference
/// tvk::XMLConfigManager settings("host.xml", root);
/// settings.setInt("Width", 800, "Window");   // <Host><Window><Width>800</Width></Window></Host>
/// settings.save();
/// \endcode
class XMLConfigManager : public IConfigManager {
public:
    /// How accessKey() treats the key it finds.
    enum AccessMode {
        Write = 0,  ///< replace the key's text; findSection() creates missing sections
        Check = 1,  ///< only report whether the key exists
        Read = 2    ///< copy the key's text out
    };

    /// Reads fileName at once; see the class. rootName is kept by reference:
    /// the caller keeps it alive for the store's life.
    XMLConfigManager(const std::string& fileName, const std::string& rootName);
    /// Saves the document (changed or not) and frees it; a failed save is
    /// logged and otherwise ignored.
    ~XMLConfigManager() override;
    XMLConfigManager(const XMLConfigManager&) = delete;
    XMLConfigManager& operator=(const XMLConfigManager&) = delete;

    void init() override;
    bool reload() override;
    /// Also logs "Save config file: " at CFG/DEBG, and the reason of a failure
    /// at CFG/ERROR.
    bool save() override;
    bool getBool(const std::string& key, bool& value, const std::string& section) override;
    bool getDouble(const std::string& key, double& value, const std::string& section) override;
    bool getInt(const std::string& key, int& value, const std::string& section) override;
    bool getString(const std::string& key, std::string& value, const std::string& section) override;
    bool setBool(const std::string& key, bool value, const std::string& section) override;
    bool setDouble(const std::string& key, double value, const std::string& section) override;
    bool setInt(const std::string& key, int value, const std::string& section) override;
    bool setString(const std::string& key, const std::string& value, const std::string& section) override;
    /// Creates the key with value only when it is missing: true when it
    /// existed (its text untouched), false when it was created or could not
    /// be, for the reasons the setters give.
    virtual bool setDefaultString(const std::string& key, const std::string& value, const std::string& section);

    /// The first element named name in node's subtree, node included, in
    /// document order; null when there is none or node is null.
    xmlNodePtr findElement(xmlNodePtr node, const std::string& name);
    /// The section element at path below node, looked up among node's
    /// children; Write creates what is missing, other modes return null then.
    xmlNodePtr findSection(xmlNodePtr node, const std::string& section, AccessMode mode);
    /// Finds the first element named key below node (node itself excluded)
    /// and reads, writes or only checks its text; true when it was found
    /// (and, in Write mode, written). A written text may hold "&amp;"-style
    /// references; any other "&" is kept as it is.
    bool accessKey(xmlNodePtr node, const std::string& key, std::string& text, AccessMode mode);
    /// Parses fileName into document; false (and no document) when it
    /// cannot, logged as "Failed to parse <fileName>" at CFG/ERROR.
    bool load();

    /// The file read and written.
    std::string fileName;
    /// The root element's name for a document made from nothing.
    const std::string& rootName;
    /// The settings; owned by the store.
    XmlDocPtr document;

private:
    bool writeValue(const std::string& key, const std::string& text, const std::string& section, AccessMode mode);
    bool keepUnreadableFile();

    // The file existed but could not be used: keep a copy before overwriting it.
    bool fileUnreadable = false;
};

} // namespace tvk
