// The configuration store over any file, driven by a short script of typed
// reads, writes, reloads and saves. The input is the file's bytes up to the
// first NUL, then the script.
//
// Promises checked: a value that may be stored reads back as written; a save
// that succeeds leaves a file the next store parses; a file the store could
// not use is never lost, it is either left as it was or kept byte for byte
// as "<name>.unreadable".

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "config/xml_text.h"
#include "fuzz/fuzz_support.h"
#include "pellicor/config.h"

using namespace fuzz_support;
using testing_support::fileExists;
using testing_support::readFile;

namespace {

const std::string rootName = "ORVAPlus";

// Names the file and the product defaults use, so scripts meet existing
// elements as often as new ones.
const char* const knownNames[] = {"ORVAPlus",  "Internet",   "Environment", "SupportEmail", "UserName",
                                  "WxProducts", "WxProduct", "WxName",      "IsActive",     "K",
                                  "S",          "A/B",       "Internet/WxProducts", "",      "a:b"};

std::string pickName(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return input.PickValueInArray(knownNames);
    return input.ConsumeRandomLengthString(24);
}

// Whether the store must take a write of text under key in section.
bool mustBeWritten(const std::string& key, const std::string& text, const std::string& section)
{
    if (!tvk::isElementName(key) || !tvk::isStorableText(text) || section.empty())
        return false;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type slash = section.find('/', start);
        const std::string part = section.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!tvk::isElementName(part))
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

// Whether the file at path is one the store can use, without writing it.
bool isUsable(const std::string& path)
{
    tvk::XMLConfigManager probe(path, rootName);
    const bool usable = probe.load();
    probe.document.reset();  // a store with no document saves nothing
    return usable;
}

// After a write of text under key in section: what must read back.
void expectRead(tvk::IConfigManager& store, const std::string& key, const std::string& text,
                const std::string& section, const std::string& expected)
{
    if (!mustBeWritten(key, text, section))
        return;
    std::string read;
    require(store.getString(key, read, section), "key " + key + " in " + section + " not found after a write");
    require(read == expected, "key " + key + " in " + section + " reads \"" + read + "\", not \"" + expected + "\"");
}

void runScript(tvk::IConfigManager& store, bool product, FuzzedDataProvider& input, const std::string& path)
{
    for (int step = 0; step < 16 && input.remaining_bytes() > 0; ++step) {
        const int op = input.ConsumeIntegralInRange(0, product ? 12 : 10);
        const std::string key = pickName(input);
        const std::string section = pickName(input);
        switch (op) {
        case 0: {
            std::string text;
            store.getString(key, text, section);
            break;
        }
        case 1: {
            bool flag = false;
            store.getBool(key, flag, section);
            break;
        }
        case 2: {
            int number = 0;
            store.getInt(key, number, section);
            break;
        }
        case 3: {
            double number = 0;
            store.getDouble(key, number, section);
            break;
        }
        case 4: {
            const std::string value = input.ConsumeRandomLengthString(64);
            store.setString(key, value, section);
            expectRead(store, key, value, section, tvk::resolveReferences(value));
            break;
        }
        case 5: {
            const bool flag = input.ConsumeBool();
            store.setBool(key, flag, section);
            expectRead(store, key, "", section, flag ? "Yes" : "No");
            break;
        }
        case 6: {
            const int number = input.ConsumeIntegral<int>();
            store.setInt(key, number, section);
            expectRead(store, key, "", section, tvk::formatInt(number));
            break;
        }
        case 7: {
            const double number = input.ConsumeFloatingPoint<double>();
            store.setDouble(key, number, section);
            expectRead(store, key, "", section, tvk::formatDouble(number));
            break;
        }
        case 8:
            if (product)
                static_cast<tvk::ORVAXMLConfigManager&>(store).setDefaults();
            else
                static_cast<tvk::XMLConfigManager&>(store).setDefaultString(key, input.ConsumeRandomLengthString(64),
                                                                            section);
            break;
        case 9:
            if (store.save())
                require(isUsable(path), "a successful save wrote a file that does not load");
            break;
        case 10:
            store.reload();
            break;
        case 11: {
            std::vector<tvk::WxProductSettings> products;
            static_cast<tvk::ORVAXMLConfigManager&>(store).getWxProducts(products);
            break;
        }
        case 12: {
            tvk::WxProductSettings product;
            product.id = input.ConsumeIntegralInRange(-1, 15);
            product.isActive = input.ConsumeBool();
            product.minToDownload = input.ConsumeIntegral<std::int32_t>();
            static_cast<tvk::ORVAXMLConfigManager&>(store).setWxProducts({product});
            break;
        }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string::size_type end = input.find('\0');
    const std::string file = input.substr(0, end);
    const std::string script = end == std::string::npos ? std::string() : input.substr(end + 1);

    clearScratch();
    const std::string path = scratch().file("settings.xml");
    const std::string kept = path + ".unreadable";
    // An empty script starts without a file; any other starts over these bytes.
    const bool hadFile = !(file.empty() && script.empty());
    if (hadFile)
        testing_support::writeFile(path, file);
    const bool usable = hadFile && isUsable(path);

    FuzzedDataProvider steps(reinterpret_cast<const std::uint8_t*>(script.data()), script.size());
    const bool product = steps.ConsumeBool();
    {
        std::unique_ptr<tvk::IConfigManager> store;
        if (product)
            store = std::make_unique<tvk::ORVAXMLConfigManager>(path, rootName);
        else
            store = std::make_unique<tvk::XMLConfigManager>(path, rootName);
        runScript(*store, product, steps, path);
    }  // the destructor saves

    require(fileExists(path), "the settings file is gone");
    require(isUsable(path) || readFile(path) == file, "the store left a file that does not load");
    if (hadFile && !usable) {
        require(readFile(path) == file || readFile(kept) == file, "an unusable file was overwritten and not kept");
    } else {
        require(!fileExists(kept), "a usable file was kept as unreadable");
    }
    return 0;
}
