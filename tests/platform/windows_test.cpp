// What only a Windows build can show.

#include <windows.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "pellicor/logging.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;

TEST(WindowsProgram, IsAGuiProgramThatOpensNoConsole)
{
    const std::string image = readFile(PELLICOR_EXE);
    ASSERT_GT(image.size(), 0x200u);
    std::uint32_t peOffset = 0;
    std::memcpy(&peOffset, image.data() + 0x3C, sizeof peOffset);
    ASSERT_LT(peOffset + 0x60u, image.size());
    EXPECT_EQ(image.substr(peOffset, 4), std::string("PE\0\0", 4));
    std::uint16_t machine = 0, magic = 0, subsystem = 0;
    std::memcpy(&machine, image.data() + peOffset + 4, sizeof machine);
    std::memcpy(&magic, image.data() + peOffset + 24, sizeof magic);
    std::memcpy(&subsystem, image.data() + peOffset + 24 + 68, sizeof subsystem);
    EXPECT_EQ(machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(WindowsProgram, RunsWithUtf8AsItsAnsiCodePage)
{
    // The manifest that gives it is the program's, and this test program's
    // too; Windows 10 1903 and later honour it, and so does Wine.
    EXPECT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    EXPECT_NE(readFile(PELLICOR_EXE).find("<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/"
                                          "WindowsSettings\">UTF-8</activeCodePage>"),
              std::string::npos);
}

TEST(WindowsLogFile, OthersCanReadAndWriteItWhileItIsOpen)
{
    TempDir dir;
    const std::string path = dir.file("Pellicor.log");
    Logger logger;
    LoggerFileWriter writer(&logger, path);
    logger.addWriter(&writer);
    logger.log("first line\n", 0, 6);

    HANDLE other = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    char buffer[256] = {};
    DWORD read = 0;
    EXPECT_TRUE(::ReadFile(other, buffer, sizeof buffer - 1, &read, nullptr));
    ::CloseHandle(other);
    EXPECT_NE(std::string(buffer, read).find("[MAIN:INFO] first line\r\n"), std::string::npos);

    logger.log("second line\n", 0, 6);
    EXPECT_NE(readFile(path).find("second line"), std::string::npos);
}
