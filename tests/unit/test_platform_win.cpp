// The Windows side of the support library, against the real API.
#include <windows.h>

#include <gtest/gtest.h>

#include "util/path.h"
#include "util/platform.h"

namespace {

TEST(Platform, CompareTextNoCaseIgnoresCase)
{
  EXPECT_EQ(0, CompareTextNoCase("Uninstall.lst", "UNINSTALL.LST"));
  EXPECT_EQ(0, CompareTextNoCase("uninstall.exe", "UnInstall.EXE"));
  EXPECT_NE(0, CompareTextNoCase("Uninstall.lst", "Uninstall.ls"));
  EXPECT_NE(0, CompareTextNoCase("a", "b"));
}

TEST(Platform, WinNtMajorVersionMatchesTheSystem)
{
  OSVERSIONINFOA info = {sizeof(info)};
  ASSERT_TRUE(GetVersionExA(&info));
  unsigned int expected = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? info.dwMajorVersion : 0;
  EXPECT_EQ(expected, WinNtMajorVersion());
  EXPECT_EQ(expected, WinNtMajorVersion());
}

TEST(Platform, FileExistsForFilesAndFolders)
{
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof(windows)), 0u);
  EXPECT_TRUE(FileExists(windows));
  EXPECT_FALSE(FileExists("C:\\no such folder\\no such file.txt"));
}

TEST(Platform, ModulePathIsFullAndTooSmallBuffersFail)
{
  char path[kPathSize];
  ASSERT_TRUE(GetModulePath(path, sizeof(path)));
  EXPECT_STREQ("win_tests.exe", FileNamePart(path));
  char small[8];
  EXPECT_FALSE(GetModulePath(small, sizeof(small)));
  EXPECT_STREQ("", small);
}

TEST(Platform, DbcsTableFollowsTheAnsiCodePage)
{
  DbcsTable table;
  FillDbcsTable(table);
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  EXPECT_EQ(info.MaxCharSize > 1 ? 1 : 0, table.MultiByte);
  for (int b = 0; b < 256; b++)
    EXPECT_EQ(IsDBCSLeadByte((BYTE)b) ? 1 : 0, table.LeadByte[b]) << b;
}

} // namespace
