// Issue-definition files that are no regular file. Their contents are never
// waited for or read: each is the clear parse error, at once.

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/issue_definition_reader.h"
#include "pellicor/logging.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

TEST(IssueFileFaults, WhatIsNoRegularFileIsTheParseErrorWithoutAWait)
{
    TempDir dir;
    const std::string loop = dir.file("loop.xml");
    fs::create_symlink(dir.file("back.xml"), loop);
    fs::create_symlink(loop, dir.file("back.xml"));
    // Nobody ever writes to it: opening it to read would wait for good.
    const std::string fifo = dir.file("fifo.xml");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Never ends: reading it to the end would fill the memory.
    const std::string endless = "/dev/zero";

    for (const std::string& path : {loop, fifo, endless}) {
        ReportRequest request;
        try {
            IssueDefinitionReader().read(path, request);
            ADD_FAILURE() << path << " was read";
        } catch (const LoggedException& error) {
            EXPECT_STREQ(error.what(), ("Failed to parse issue confix XML" + path).c_str());
        }
    }
}
