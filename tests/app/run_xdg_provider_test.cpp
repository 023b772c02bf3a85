// Runs with the Linux Simple MAPI provider beside the program and a
// stand-in for xdg-email on PATH: the caller's records as the provider reads them.

#include <gtest/gtest.h>

#include "tests/support/program_run.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

TEST(RunXdgProviderTest, TheMailClientGetsTheArchiveAsLogZip)
{
    ProgramSandbox sandbox;
    sandbox.addProvider(XDG_MAPI_PATH);
    sandbox.addStandIn("xdg-email", "#!/bin/sh\nprintf '%s\\n' \"$@\" > args.txt\n");
    sandbox.setEnvironment("XDG_CACHE_HOME", sandbox.workFile("cache"));
    writeFile(sandbox.workFile("report.zip"), "PK zipped");
    writeFile(sandbox.workFile("issue.xml"),
              "<IssueReport><MailAddress>support@example.com</MailAddress><Subject>Blank map</Subject>"
              "<Body>It&amp;s blank</Body><AttachZip>report.zip</AttachZip></IssueReport>");

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log[1], " [MAIN:INFO] MAPI report sent");
    const Lines args = splitLines(readFile(sandbox.workFile("args.txt")));
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[1], "--attach");
    EXPECT_EQ(readFile(args[2]), "PK zipped");
    EXPECT_EQ(args[2].substr(args[2].size() - 8), "/log.zip");
    EXPECT_EQ(args[3], "mailto:support@example.com?subject=Blank%20map&body=It%26s%20blank");
}
