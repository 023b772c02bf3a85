#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <libxml/tree.h>

// The configuration library a host product shares with Pellicor: typed
// settings over one XML file, the product's own view of that file, and the
// table of the host's weather products.
//
// Hosts may be built apart from this library: the order in which the
// interfaces below declare their virtual operations is their slot order and
// must not change.
namespace tvk {

struct XmlDocFree {
    void operator()(xmlDoc* document) const noexcept { xmlFreeDoc(document); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

// Typed settings by key and section path ("A/B" is section B inside A).
// Booleans are kept as "Yes"/"No". A getter that finds nothing returns false
// and leaves its output alone.
class IConfigManager {
public:
    virtual ~IConfigManager();
    virtual void init() = 0;
    virtual bool reload() = 0;
    virtual bool save() = 0;
    virtual bool getBool(const std::string& key, bool& value, const std::string& section) = 0;
    virtual bool getDouble(const std::string& key, double& value, const std::string& section) = 0;
    virtual bool getInt(const std::string& key, int& value, const std::string& section) = 0;
    virtual bool getString(const std::string& key, std::string& value, const std::string& section) = 0;
    // Setters: true when an existing key changed, false when a key was
    // created or nothing could be written.
    virtual bool setBool(const std::string& key, bool value, const std::string& section) = 0;
    virtual bool setDouble(const std::string& key, double value, const std::string& section) = 0;
    virtual bool setInt(const std::string& key, int value, const std::string& section) = 0;
    virtual bool setString(const std::string& key, const std::string& value, const std::string& section) = 0;
};

// The settings of one XML file, read when the store is made and written back
// by save() and by the destructor. A file that cannot be used leaves the
// store with an empty document; the first save over such a file keeps its
// bytes beside it as "<fileName>.unreadable" (".unreadable.1", ... when taken).
class XMLConfigManager : public IConfigManager {
public:
    enum AccessMode { Write = 0, Check = 1, Read = 2 };

    // rootName is kept by reference: the caller keeps it alive.
    XMLConfigManager(const std::string& fileName, const std::string& rootName);
    ~XMLConfigManager() override;
    XMLConfigManager(const XMLConfigManager&) = delete;
    XMLConfigManager& operator=(const XMLConfigManager&) = delete;

    void init() override;
    bool reload() override;
    bool save() override;
    bool getBool(const std::string& key, bool& value, const std::string& section) override;
    bool getDouble(const std::string& key, double& value, const std::string& section) override;
    bool getInt(const std::string& key, int& value, const std::string& section) override;
    bool getString(const std::string& key, std::string& value, const std::string& section) override;
    bool setBool(const std::string& key, bool value, const std::string& section) override;
    bool setDouble(const std::string& key, double value, const std::string& section) override;
    bool setInt(const std::string& key, int value, const std::string& section) override;
    bool setString(const std::string& key, const std::string& value, const std::string& section) override;
    // Creates the key with value only when it is missing; true when it existed.
    virtual bool setDefaultString(const std::string& key, const std::string& value, const std::string& section);

    // The first element named name in node's subtree, node included.
    xmlNodePtr findElement(xmlNodePtr node, const std::string& name);
    // The section element at path below node; Write creates what is missing.
    xmlNodePtr findSection(xmlNodePtr node, const std::string& section, AccessMode mode);
    // Finds the first element named key below node and reads, writes or
    // only checks its text. A written text may hold "&amp;"-style references;
    // any other "&" is kept as it is.
    bool accessKey(xmlNodePtr node, const std::string& key, std::string& text, AccessMode mode);
    // Parses fileName into document; false (and no document) when it cannot.
    bool load();

    std::string fileName;
    const std::string& rootName;
    XmlDocPtr document;

private:
    bool writeValue(const std::string& key, const std::string& text, const std::string& section, AccessMode mode);
    bool keepUnreadableFile();

    // The file existed but could not be used: keep a copy before overwriting it.
    bool fileUnreadable = false;
};

// One "Module" of the "Logger" element, as text.
struct LoggerModuleSetting {
    std::string id;
    std::string level;
};

// One "WxProduct" of the "WxProducts" element.
struct WxProductSettings {
    std::int32_t id = 0;
    bool isActive = false;
    std::int32_t minToDownload = 0;
    std::int32_t sampleDuration = 0;
    std::int32_t sampleValidity = 0;
    std::int32_t expirationWarningInterval = 0;
};

// The product's settings file seen through the product's own operations.
class IORVAConfigManager : public IConfigManager {
public:
    virtual bool getLoggerModules(std::vector<LoggerModuleSetting>& modules) = 0;
    // Appends to products; true when this call appended anything.
    virtual bool getWxProducts(std::vector<WxProductSettings>& products) = 0;
    // Updates matching "WxProduct" elements and appends the rest.
    virtual bool setWxProducts(const std::vector<WxProductSettings>& products) = 0;
    virtual void setDefaults() = 0;
    virtual void setWxProductDefaults() = 0;
};

// The product configuration over "ORVAPlus.xml" in the current directory,
// completed in memory with every missing default; only save() and the
// destructor write the file.
class ORVAXMLConfigManager : public IORVAConfigManager {
public:
    // The process's instance, made on first use and never destroyed.
    static ORVAXMLConfigManager* getInstance();

    // rootName is kept by reference: the caller keeps it alive.
    ORVAXMLConfigManager(const std::string& fileName, const std::string& rootName);
    ~ORVAXMLConfigManager() override;
    ORVAXMLConfigManager(const ORVAXMLConfigManager&) = delete;
    ORVAXMLConfigManager& operator=(const ORVAXMLConfigManager&) = delete;

    void init() override;
    bool reload() override;
    bool save() override;
    bool getBool(const std::string& key, bool& value, const std::string& section) override;
    bool getDouble(const std::string& key, double& value, const std::string& section) override;
    bool getInt(const std::string& key, int& value, const std::string& section) override;
    bool getString(const std::string& key, std::string& value, const std::string& section) override;
    bool setBool(const std::string& key, bool value, const std::string& section) override;
    bool setDouble(const std::string& key, double value, const std::string& section) override;
    bool setInt(const std::string& key, int value, const std::string& section) override;
    bool setString(const std::string& key, const std::string& value, const std::string& section) override;
    bool getLoggerModules(std::vector<LoggerModuleSetting>& modules) override;
    bool getWxProducts(std::vector<WxProductSettings>& products) override;
    bool setWxProducts(const std::vector<WxProductSettings>& products) override;
    void setDefaults() override;
    void setWxProductDefaults() override;

private:
    xmlNodePtr firstNode() const;

    std::unique_ptr<XMLConfigManager> store;
};

// One row of the weather product table.
struct WxProductInfo {
    std::int32_t categoryId;
    std::string categoryCode;
    std::string categoryName;
    std::int32_t id;
    std::string name;
    std::string altName;
    std::string label;
    std::int32_t value;
    bool flagA;
    bool flagB;
};

// Ids 0 to 13; 14 stands for no product.
constexpr int wxProductCount = 14;
extern const WxProductInfo wxProductTable[wxProductCount];

// The id of the product whose name is exactly name; 14 when there is none.
int wxProductIdByName(const std::string& name);
// The name of product id; an empty string when there is none.
const std::string& wxProductNameById(int id);

// The settings a product gets when the file lacks it, in the order missing
// products are appended.
inline constexpr WxProductSettings defaultWxProductSettings[] = {
    {8, true, 0, 180, 0, 0},      {0, true, 0, 180, 0, 0},      {1, true, 0, 10, 0, 0},
    {3, true, 0, 10, 0, 0},       {2, true, -180, 5, 15, 0},    {10, true, -180, 10, 15, 0},
    {11, true, -180, 10, 15, 0},  {5, true, -180, 10, 30, 0},   {4, true, -180, 10, 30, 0},
    {6, true, 0, 5, 0, 0},        {9, true, 0, 180, 0, 0},      {7, true, 0, 15, 0, 0},
    {12, true, 0, 180, 0, 0},     {13, true, 0, 5, 0, 0},
};

// Tile lists the host reads; "row-column," entries.
extern const std::string tileListA;
extern const std::string tileListB;
extern const std::string tileListC;

} // namespace tvk
