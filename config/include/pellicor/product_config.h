#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pellicor/config_store.h"

/// \file
/// The product configuration of the configuration library (`Pellicor::config`):
/// the product's own view of its settings file, and the table of the host's
/// weather products.

namespace tvk {

/// The module the product configuration logs under ("OCFG").
inline constexpr int moduleOCFG = loggerModule("OCFG");

/// One "Module" of the "Logger" element, as the file spells it.
struct LoggerModuleSetting {
    std::string id;     ///< text of "Id"
    std::string level;  ///< text of "Level"
};

/// One "WxProduct" of the "WxProducts" element.
struct WxProductSettings {
    std::int32_t id = 0;  ///< the product's id in wxProductTable; 14 for a name the table lacks
    bool isActive = false;                      ///< "IsActive" is exactly "Yes"
    std::int32_t minToDownload = 0;             ///< "MinToDownload"
    std::int32_t sampleDuration = 0;            ///< "SampleDuration"
    std::int32_t sampleValidity = 0;            ///< "SampleValidity", 0 when missing
    std::int32_t expirationWarningInterval = 0; ///< "ExpirationWarningInterval", 0 when missing
};

/// The product's settings file seen through the product's own operations.
/// Not thread-safe, like IConfigManager.
class IORVAConfigManager : public IConfigManager {
public:
    /// Replaces modules with the "Module" entries of the "Logger" element
    /// that have both "Id" and "Level"; true when there is at least one.
    virtual bool getLoggerModules(std::vector<LoggerModuleSetting>& modules) = 0;
    /// Appends (without clearing) every "WxProduct" that has "WxName",
    /// "IsActive", "MinToDownload" and "SampleDuration"; true when this call
    /// appended anything, false also when there is no "WxProducts" element.
    virtual bool getWxProducts(std::vector<WxProductSettings>& products) = 0;
    /// Writes each entry into the first "WxProduct" of its name (only into
    /// children the element has) and appends the others as new elements;
    /// true when anything was written. Without "WxProducts" the element is
    /// made in the "Internet" section, and without that nothing is written.
    /// The file is not saved.
    virtual bool setWxProducts(const std::vector<WxProductSettings>& products) = 0;
    /// Adds every missing default key of "Environment" and "Internet" and
    /// every missing product; existing values are never changed.
    virtual void setDefaults() = 0;
    /// Appends the default settings of every product the file lacks, in the
    /// order of defaultWxProductSettings.
    virtual void setWxProductDefaults() = 0;
};

/// The product configuration over "ORVAPlus.xml" in the current directory,
/// completed in memory with every missing default; only save() and the
/// destructor write the file.
/// \code
/// std::vector<tvk::WxProductSettings> products;
/// tvk::ORVAXMLConfigManager::getInstance()->getWxProducts(products);   // the fourteen products at least
/// \endcode
/// Apart from getInstance(), not thread-safe: use the instance from one
/// thread at a time.
class ORVAXMLConfigManager : public IORVAConfigManager {
public:
    /// The process's instance, made on first use over "ORVAPlus.xml" in the
    /// current directory and never destroyed, so it never saves unless asked.
    /// Never null; thread-safe, and callable from static initialisers.
    static ORVAXMLConfigManager* getInstance();

    /// Reads fileName and adds the defaults in memory. rootName is kept by
    /// reference: the caller keeps it alive.
    ORVAXMLConfigManager(const std::string& fileName, const std::string& rootName);
    /// Saves the file, as the store's destructor does.
    ~ORVAXMLConfigManager() override;
    ORVAXMLConfigManager(const ORVAXMLConfigManager&) = delete;
    ORVAXMLConfigManager& operator=(const ORVAXMLConfigManager&) = delete;

    void init() override;
    /// Reloads the file, then adds the defaults again; true when it was parsed.
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

/// One row of the weather product table. Every text is a literal that lives
/// as long as the process.
struct WxProductInfo {
    std::int32_t categoryId;        ///< the product's category, 0 to 9
    std::string_view categoryCode;  ///< short code of the category
    std::string_view categoryName;  ///< name of the category
    std::int32_t id;                ///< the product's id, 0 to 13
    std::string_view name;          ///< the text of "WxName"
    std::string_view altName;       ///< a second name
    std::string_view label;         ///< a third name
    std::int32_t value;             ///< an integer per product, 200 to 3900
    bool flagA;                     ///< first flag
    bool flagB;                     ///< second flag
};

/// Number of products; ids run from 0 to 13, and 14 stands for no product.
constexpr int wxProductCount = 14;
/// The fourteen products in id order (row n has id n). Constant-initialised:
/// readable from any thread, also from static initialisers.
extern const WxProductInfo wxProductTable[wxProductCount];

/// The id of the product whose name is exactly name (case-sensitive, only
/// the name column); 14 when there is none. Thread-safe; never throws.
int wxProductIdByName(const std::string& name);
/// The name of product id; an empty string when there is none. The string
/// lives as long as the process. Thread-safe; the first call allocates the
/// fourteen names.
const std::string& wxProductNameById(int id);

/// The settings a product gets when the file lacks it, in the order missing
/// products are appended.
inline constexpr WxProductSettings defaultWxProductSettings[] = {
    {8, true, 0, 180, 0, 0},      {0, true, 0, 180, 0, 0},      {1, true, 0, 10, 0, 0},
    {3, true, 0, 10, 0, 0},       {2, true, -180, 5, 15, 0},    {10, true, -180, 10, 15, 0},
    {11, true, -180, 10, 15, 0},  {5, true, -180, 10, 30, 0},   {4, true, -180, 10, 30, 0},
    {6, true, 0, 5, 0, 0},        {9, true, 0, 180, 0, 0},      {7, true, 0, 15, 0, 0},
    {12, true, 0, 180, 0, 0},     {13, true, 0, 5, 0, 0},
};

/// \name Tile lists
/// Tile lists the host reads; "row-column," entries, the last one with its
/// comma too. Nothing in this library reads them.
/// @{

/// Five entries.
inline constexpr std::string_view tileListA = "21-11,22-10,22-11,23-10,23-11,";
/// Two entries.
inline constexpr std::string_view tileListB = "26-5,26-6,";
/// Seventeen entries.
inline constexpr std::string_view tileListC =
    "24-0,24-1,24-2,24-3,24-4,25-0,25-1,25-2,25-3,25-4,26-0,26-1,26-2,26-3,26-4,27-0,27-1,";
/// @}

} // namespace tvk
