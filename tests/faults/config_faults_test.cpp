// The configuration saved onto a disk that is full.

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "pellicor/config.h"
#include "tests/faults/scratch_mount.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

TEST(ConfigFaults, ASaveOntoAFullDiskLeavesTheOldFileAsItWas)
{
    TempDir dir;
    ScratchMount disk(dir.path(), 64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const std::string path = dir.file("ORVAPlus.xml");
    const std::string old = "<ORVAPlus><Internet><SupportEmail>old@example.com</SupportEmail></Internet></ORVAPlus>";
    writeFile(path, old);
    writeFile(dir.file("filler"), std::string(52 * 1024, 'f'));
    const std::string root = "ORVAPlus";
    LogCapture::instance().clear();

    {
        tvk::XMLConfigManager store(path, root);
        store.setString("SupportEmail", "new@example.com", "Internet");
        store.setString("Notes", std::string(20 * 1024, 'n'), "Internet");
        EXPECT_FALSE(store.save());
        EXPECT_EQ(readFile(path), old);
    }  // its destructor saves again, and fails again
    EXPECT_EQ(readFile(path), old);
    bool logged = false;
    for (const std::string& message : LogCapture::instance().messages())
        logged = logged || (message.rfind("Failed to save " + path + ": cannot write ", 0) == 0
                            && message.find("No space left on device") != std::string::npos);
    EXPECT_TRUE(logged);
    // No temporary file is left to hold the space.
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"ORVAPlus.xml", "filler"}));

    // Once there is room, the next save goes through, and keeps others
    // out of a file the host keeps them out of.
    fs::remove(dir.file("filler"));
    const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(path, ownerOnly);
    tvk::XMLConfigManager store(path, root);
    store.setString("Notes", std::string(20 * 1024, 'n'), "Internet");
    EXPECT_TRUE(store.save());
    EXPECT_EQ(fs::status(path).permissions(), ownerOnly);
}

// Settings kept elsewhere and linked in, as dotfile managers do.
TEST(ConfigFaults, ASaveThroughASymbolicLinkKeepsTheLink)
{
    TempDir dir;
    const std::string target = dir.file("dotfiles ORVAPlus.xml"), link = dir.file("ORVAPlus.xml");
    writeFile(target, "<ORVAPlus/>");
    fs::create_symlink(target, link);
    tvk::XMLConfigManager store(link, "ORVAPlus");
    store.setString("SupportEmail", "new@example.com", "Internet");
    EXPECT_TRUE(store.save());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(readFile(target).find("new@example.com"), std::string::npos);
}
