#include "pellicor/product_config.h"

#include <algorithm>
#include <mutex>

#include "logging/log_line.h"
#include "xml_text.h"

namespace tvk {

namespace {

// Constant-initialised, so a host may call getInstance() from its own
// static initialisation.
std::mutex instanceMutex;
ORVAXMLConfigManager* instance = nullptr;

const char* yesNo(bool value)
{
    return value ? "Yes" : "No";
}

// The element children of parent named name, in document order.
template <typename Visit>
void forEachChild(xmlNodePtr parent, const char* name, Visit visit)
{
    for (xmlNodePtr child = parent->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrcmp(child->name, BAD_CAST name) == 0)
            visit(child);
    }
}

} // namespace

ORVAXMLConfigManager* ORVAXMLConfigManager::getInstance()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    if (instance == nullptr) {
        // The store keeps a reference to the root name: both names live as
        // long as the process, past every static destructor.
        static const std::string& fileName = *new std::string("ORVAPlus.xml");
        static const std::string& rootName = *new std::string("ORVAPlus");
        instance = new ORVAXMLConfigManager(fileName, rootName);
    }
    return instance;
}

ORVAXMLConfigManager::ORVAXMLConfigManager(const std::string& fileName, const std::string& rootName)
    : store(std::make_unique<XMLConfigManager>(fileName, rootName))
{
    ORVAXMLConfigManager::setDefaults();
}

ORVAXMLConfigManager::~ORVAXMLConfigManager()
{
    store.reset();
    logLine(moduleOCFG, Logger::levelDebug, "~ORVAXMLConfigManager\n");
}

void ORVAXMLConfigManager::init()
{
    store->init();
}

bool ORVAXMLConfigManager::reload()
{
    const bool parsed = store->reload();
    setDefaults();
    return parsed;
}

bool ORVAXMLConfigManager::save()
{
    return store->save();
}

bool ORVAXMLConfigManager::getBool(const std::string& key, bool& value, const std::string& section)
{
    return store->getBool(key, value, section);
}

bool ORVAXMLConfigManager::getDouble(const std::string& key, double& value, const std::string& section)
{
    return store->getDouble(key, value, section);
}

bool ORVAXMLConfigManager::getInt(const std::string& key, int& value, const std::string& section)
{
    return store->getInt(key, value, section);
}

bool ORVAXMLConfigManager::getString(const std::string& key, std::string& value, const std::string& section)
{
    return store->getString(key, value, section);
}

bool ORVAXMLConfigManager::setBool(const std::string& key, bool value, const std::string& section)
{
    return store->setBool(key, value, section);
}

bool ORVAXMLConfigManager::setDouble(const std::string& key, double value, const std::string& section)
{
    return store->setDouble(key, value, section);
}

bool ORVAXMLConfigManager::setInt(const std::string& key, int value, const std::string& section)
{
    return store->setInt(key, value, section);
}

bool ORVAXMLConfigManager::setString(const std::string& key, const std::string& value, const std::string& section)
{
    return store->setString(key, value, section);
}

xmlNodePtr ORVAXMLConfigManager::firstNode() const
{
    return store->document ? store->document->children : nullptr;
}

bool ORVAXMLConfigManager::getLoggerModules(std::vector<LoggerModuleSetting>& modules)
{
    modules.clear();
    if (xmlNodePtr logger = store->findElement(firstNode(), "Logger")) {
        forEachChild(logger, "Module", [&](xmlNodePtr module) {
            LoggerModuleSetting setting;
            if (store->accessKey(module, "Id", setting.id, XMLConfigManager::Read)
                && store->accessKey(module, "Level", setting.level, XMLConfigManager::Read))
                modules.push_back(setting);
        });
    }
    return !modules.empty();
}

bool ORVAXMLConfigManager::getWxProducts(std::vector<WxProductSettings>& products)
{
    xmlNodePtr wxProducts = store->findElement(firstNode(), "WxProducts");
    if (wxProducts == nullptr)
        return false;
    const std::size_t before = products.size();
    forEachChild(wxProducts, "WxProduct", [&](xmlNodePtr product) {
        std::string name, active, minToDownload, duration, validity = "0", warning = "0";
        const auto read = [&](const char* key, std::string& text) {
            return store->accessKey(product, key, text, XMLConfigManager::Read);
        };
        if (!read("WxName", name) || !read("IsActive", active) || !read("MinToDownload", minToDownload)
            || !read("SampleDuration", duration))
            return;
        read("SampleValidity", validity);
        read("ExpirationWarningInterval", warning);
        products.push_back({wxProductIdByName(name), active == "Yes", parseInt(minToDownload), parseInt(duration),
                            parseInt(validity), parseInt(warning)});
    });
    return products.size() > before;
}

bool ORVAXMLConfigManager::setWxProducts(const std::vector<WxProductSettings>& products)
{
    std::vector<WxProductSettings> left = products;
    bool changed = false;

    xmlNodePtr wxProducts = store->findElement(firstNode(), "WxProducts");
    if (wxProducts == nullptr) {
        if (xmlNodePtr internet = store->findSection(firstNode(), "Internet", XMLConfigManager::Read))
            wxProducts = xmlNewTextChild(internet, nullptr, BAD_CAST "WxProducts", BAD_CAST "\n");
    }
    if (wxProducts != nullptr) {
        forEachChild(wxProducts, "WxProduct", [&](xmlNodePtr element) {
            std::string name;
            if (!store->accessKey(element, "WxName", name, XMLConfigManager::Read))
                return;
            const auto match = std::find_if(left.begin(), left.end(), [&](const WxProductSettings& entry) {
                return wxProductNameById(entry.id) == name;
            });
            if (match == left.end())
                return;
            // Only children the element already has are written.
            const auto write = [&](const char* key, std::string text) {
                store->accessKey(element, key, text, XMLConfigManager::Write);
            };
            write("IsActive", yesNo(match->isActive));
            write("MinToDownload", formatInt(match->minToDownload));
            write("SampleDuration", formatInt(match->sampleDuration));
            write("SampleValidity", formatInt(match->sampleValidity));
            write("ExpirationWarningInterval", formatInt(match->expirationWarningInterval));
            left.erase(match);
            changed = true;
        });
    }

    for (const WxProductSettings& entry : left) {
        if (wxProducts == nullptr)
            break;
        xmlNodePtr element = xmlNewTextChild(wxProducts, nullptr, BAD_CAST "WxProduct", BAD_CAST "\n");
        if (element == nullptr)
            continue;
        xmlNewTextChild(element, nullptr, BAD_CAST "WxName", BAD_CAST wxProductNameById(entry.id).c_str());
        xmlNewTextChild(element, nullptr, BAD_CAST "IsActive", BAD_CAST yesNo(entry.isActive));
        xmlNewTextChild(element, nullptr, BAD_CAST "MinToDownload", BAD_CAST formatInt(entry.minToDownload).c_str());
        xmlNewTextChild(element, nullptr, BAD_CAST "SampleDuration",
                        BAD_CAST formatInt(entry.sampleDuration).c_str());
    }
    return changed || !left.empty();
}

void ORVAXMLConfigManager::setDefaults()
{
    store->setDefaultString("Internet", "Yes", "Environment");
    store->setDefaultString("UserCanSelect", "Yes", "Internet");
    store->setDefaultString("AutoUpdate", "No", "Internet");
    store->setDefaultString("FetchIntervalSecs", "600", "Internet");
    setWxProductDefaults();
}

void ORVAXMLConfigManager::setWxProductDefaults()
{
    std::vector<WxProductSettings> present;
    getWxProducts(present);
    std::vector<WxProductSettings> missing;
    for (const WxProductSettings& product : defaultWxProductSettings) {
        const bool found = std::any_of(present.begin(), present.end(),
                                       [&](const WxProductSettings& entry) { return entry.id == product.id; });
        if (!found)
            missing.push_back(product);
    }
    if (!missing.empty())
        setWxProducts(missing);
}

} // namespace tvk
