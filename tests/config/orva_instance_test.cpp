#include "pellicor/config.h"

#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "pellicor/logging.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

// The instance lives for the whole process: this program holds only the
// case that needs to make it.
using namespace testing_support;

TEST(ProductConfigInstance, IsMadeOnceFromTheCurrentDirectoryWhenEightThreadsAskFirst)
{
    TempDir dir;
    ScopedCurrentDirectory here(dir.path());
    const std::string file = "<ORVAPlus><Internet><SupportEmail>help@example.org</SupportEmail></Internet></ORVAPlus>";
    writeFile("ORVAPlus.xml", file);
    Logger::getInstance()->setLevel(loggerModule("CFG "), 7);
    LogCapture::instance().clear();

    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<tvk::ORVAXMLConfigManager*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] {
            start.wait();
            seen[i] = tvk::ORVAXMLConfigManager::getInstance();
        });
    go.set_value();
    for (std::thread& thread : threads)
        thread.join();

    ASSERT_NE(seen[0], nullptr);
    for (tvk::ORVAXMLConfigManager* instance : seen)
        EXPECT_EQ(instance, seen[0]);
    int made = 0;
    for (const std::string& message : LogCapture::instance().messages())
        made += message == "XMLConfigManager: init config file: ORVAPlus.xml\n";
    EXPECT_EQ(made, 1);

    writeFile("ORVAPlus.xml", "<ORVAPlus/>");
    std::string mail;
    EXPECT_EQ(tvk::ORVAXMLConfigManager::getInstance(), seen[0]);
    EXPECT_TRUE(seen[0]->getString("SupportEmail", mail, "Internet"));
    EXPECT_EQ(mail, "help@example.org") << "the file is read once";
    EXPECT_EQ(readFile("ORVAPlus.xml"), "<ORVAPlus/>") << "nothing is written back";
}
