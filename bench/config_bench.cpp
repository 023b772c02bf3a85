// The product configuration as crash mode and hosts use it: ORVAPlus.xml of
// about a megabyte loaded, then a thousand typed reads; beside it a bare
// xmlReadFile of the same file, the least any reader of it must pay.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include "pellicor/config.h"
#include "pellicor/logging.h"

namespace fs = std::filesystem;

namespace {

struct Read {
    enum Type { String, Int, Bool, Double } type;
    const char* key;
    const char* section;
};

// Settings a host reads at start and while it runs, some of them absent
// (the host then keeps its own default).
const Read reads[] = {
    {Read::String, "UserName", "Environment"},     {Read::Bool, "Internet", "Environment"},
    {Read::String, "Language", "Environment"},     {Read::Int, "Units", "Environment"},
    {Read::String, "SupportEmail", "Internet"},    {Read::Bool, "UserCanSelect", "Internet"},
    {Read::Bool, "AutoUpdate", "Internet"},        {Read::Int, "FetchIntervalSecs", "Internet"},
    {Read::String, "ProxyHost", "Internet"},       {Read::Int, "ProxyPort", "Internet"},
    {Read::Double, "Brightness", "Display"},       {Read::Bool, "NightMode", "Display"},
    {Read::Int, "MapOrientation", "Display"},      {Read::Double, "Zoom", "Display/Map"},
    {Read::Bool, "ShowTerrain", "Display/Map"},    {Read::Int, "Setting37", "Display"},
    {Read::String, "Setting12", "Display"},        {Read::Int, "Count", "Waypoints"},
    {Read::Bool, "Missing", "Display"},            {Read::String, "NotThere", "Environment"},
};

// ORVAPlus.xml with its usual sections, the weather products and a large
// user waypoint list, about targetBytes long.
std::string makeConfig(std::size_t targetBytes)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<ORVAPlus>\n  <Environment>\n"
                      "    <UserName>jdoe</UserName>\n    <Internet>Yes</Internet>\n"
                      "    <Language>en-US</Language>\n    <Units>1</Units>\n  </Environment>\n"
                      "  <Internet>\n    <UserCanSelect>Yes</UserCanSelect>\n    <AutoUpdate>No</AutoUpdate>\n"
                      "    <FetchIntervalSecs>600</FetchIntervalSecs>\n"
                      "    <SupportEmail>support@example.com</SupportEmail>\n"
                      "    <ProxyHost>proxy.example.com</ProxyHost>\n    <ProxyPort>8080</ProxyPort>\n"
                      "    <WxProducts>\n";
    for (int id = 0; id < tvk::wxProductCount; ++id) {
        xml += "      <WxProduct>\n        <WxName>" + tvk::wxProductNameById(id) +
               "</WxName>\n        <IsActive>Yes</IsActive>\n        <MinToDownload>0</MinToDownload>\n"
               "        <SampleDuration>10</SampleDuration>\n        <SampleValidity>0</SampleValidity>\n"
               "        <ExpirationWarningInterval>0</ExpirationWarningInterval>\n      </WxProduct>\n";
    }
    xml += "    </WxProducts>\n  </Internet>\n  <Logger>\n";
    for (const char* module : {"MAIN", "CFG ", "OCFG", "NET "})
        xml += "    <Module>\n      <Id>" + std::string(module) + "</Id>\n      <Level>6</Level>\n    </Module>\n";
    xml += "  </Logger>\n  <Display>\n    <Brightness>0.75</Brightness>\n    <NightMode>No</NightMode>\n"
           "    <MapOrientation>2</MapOrientation>\n";
    for (int i = 0; i < 40; ++i)
        xml += "    <Setting" + std::to_string(i) + ">" + std::to_string(i * 37) + "</Setting" + std::to_string(i) + ">\n";
    xml += "    <Map>\n      <Zoom>12.5</Zoom>\n      <ShowTerrain>Yes</ShowTerrain>\n    </Map>\n  </Display>\n"
           "  <Waypoints>\n    <Count>0</Count>\n";
    char entry[256];
    for (int i = 0; xml.size() < targetBytes; ++i) {
        std::snprintf(entry, sizeof entry,
                      "    <Waypoint>\n      <Name>WP%05d</Name>\n      <Lat>%d.%04d</Lat>\n      <Lon>-%d.%04d</Lon>\n"
                      "      <Elevation>%d</Elevation>\n      <Comment>user waypoint %d</Comment>\n    </Waypoint>\n",
                      i, 30 + i % 20, (i * 7919) % 10000, 80 + i % 40, (i * 104729) % 10000, i % 3000, i);
        xml += entry;
    }
    xml += "  </Waypoints>\n</ORVAPlus>\n";
    return xml;
}

struct Files {
    fs::path dir;
    std::string original;  // never written to
    std::string working;   // the configuration's own, restored before each run
    Files()
    {
        std::string pattern = (fs::temp_directory_path() / "pellicor-config-bench.XXXXXX").string();
        dir = mkdtemp(&pattern[0]);
        original = (dir / "original.xml").string();
        working = (dir / "ORVAPlus.xml").string();
        const std::string xml = makeConfig(1 << 20);
        std::ofstream(original, std::ios::binary).write(xml.data(), static_cast<std::streamsize>(xml.size()));
    }
    ~Files()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Files& files()
{
    static Files instance;
    return instance;
}

void ConfigLoadAndRead(benchmark::State& state)
{
    Logger::getInstance()->setLevel(Logger::MODULE_MAIN, 3);
    const std::string rootName = "ORVAPlus";
    int found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(files().original, files().working, fs::copy_options::overwrite_existing);
        state.ResumeTiming();

        auto config = std::make_unique<tvk::ORVAXMLConfigManager>(files().working, rootName);
        found = 0;
        for (int i = 0; i < 1000; ++i) {
            const Read& read = reads[i % (sizeof reads / sizeof reads[0])];
            std::string text;
            int number = 0;
            bool flag = false;
            double real = 0;
            switch (read.type) {
            case Read::String: found += config->getString(read.key, text, read.section); break;
            case Read::Int: found += config->getInt(read.key, number, read.section); break;
            case Read::Bool: found += config->getBool(read.key, flag, read.section); break;
            case Read::Double: found += config->getDouble(read.key, real, read.section); break;
            }
            benchmark::DoNotOptimize(text);
        }

        state.PauseTiming();
        config.reset();  // saves the file: not part of loading and reading
        state.ResumeTiming();
    }
    // 18 of the 20 settings read are in the file.
    if (found != 900)
        state.SkipWithError("the configuration did not find the settings it holds");
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(files().original));
}
BENCHMARK(ConfigLoadAndRead)->Unit(benchmark::kMillisecond);

void BareXmlReadFile(benchmark::State& state)
{
    for (auto _ : state) {
        xmlDocPtr document = xmlReadFile(files().original.c_str(), nullptr, 0);
        state.PauseTiming();
        if (document == nullptr)
            state.SkipWithError("xmlReadFile failed");
        xmlFreeDoc(document);
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(files().original));
}
BENCHMARK(BareXmlReadFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
