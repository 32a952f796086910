// The Windows side of the support library, against the real API.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/command_line.h"
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

// Checked against what the test prefix was made to report (the flavour that
// the suite runs it in, through Wine's version setting), not against a
// formula over GetVersionExA.
TEST(Platform, WinNtMajorVersionFollowsTheFlavour)
{
  const char *flavour = getenv("QBX_WINE_FLAVOUR");
  if (!flavour)
    GTEST_SKIP() << "QBX_WINE_FLAVOUR is not set: the expected Windows version is unknown";
  const struct
  {
    const char *Flavour;
    unsigned int Major;
  } known[] = {{"win95", 0}, {"win98", 0}, {"winme", 0}, {"nt40", 4}, {"win2k", 5}, {"winxp", 5},
               {"x64-win98", 0}};
  for (const auto &k : known)
    if (strcmp(flavour, k.Flavour) == 0)
    {
      EXPECT_EQ(k.Major, WinNtMajorVersion());
      return;
    }
  // win64, win32 and the 64-bit stand-in x64 report Wine's default version,
  // which depends on the Wine release; it is of the NT family, Windows 2000
  // or later.
  ASSERT_TRUE(strcmp(flavour, "win64") == 0 || strcmp(flavour, "win32") == 0 || strcmp(flavour, "x64") == 0)
    << flavour;
  EXPECT_GE(WinNtMajorVersion(), 5u);
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

// The tool's own name in the spellings a command line can give it: the file
// system decides, so the rest of the line is taken for the switches.
TEST(Platform, TheProgramNameInAnySpellingIsSkipped)
{
  char temp[MAX_PATH], folder[MAX_PATH], exe[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof(temp), temp), 0u);
  // 0xC4 0xE4: A and a with diaeresis in code page 1252, upper and lower case.
  snprintf(folder, sizeof(folder), "%sQbx Long \xC4rchiver Folder", temp);
  snprintf(exe, sizeof(exe), "%s\\uninstall.exe", folder);
  CreateDirectoryA(folder, NULL);
  HANDLE h = CreateFileA(exe, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  char moduleShort[kPathSize], shortExe[MAX_PATH];
  ASSERT_TRUE(GetFileShortPath(exe, moduleShort, sizeof(moduleShort)));
  ASSERT_GT(GetShortPathNameA(exe, shortExe, sizeof(shortExe)), 0u);
  ASSERT_EQ(NULL, strchr(shortExe, ' ')) << shortExe;

  // Spellings with blanks, which a split at the first blank gets wrong.
  std::string lowerFolder = folder;
  for (char &c : lowerFolder)
    c = c == '\xC4' ? '\xE4' : c;
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof(cwd), cwd);
  ASSERT_TRUE(SetCurrentDirectoryA(temp));
  for (std::string name : {lowerFolder + "\\uninstall.exe", lowerFolder + "\\UNINSTALL",
                           lowerFolder + "\\" + FileNamePart(shortExe),
                           std::string(".\\Qbx Long \xC4rchiver Folder\\uninstall.exe"), std::string(shortExe)})
  {
    std::string line = name + " /s";
    EXPECT_STREQ(" /s", SkipProgramName(line.c_str(), exe, NamesSameFile, moduleShort)) << name;
    EXPECT_TRUE(NamesSameFile(name.c_str(), moduleShort)) << name;
  }
  // Another file, and one that does not exist, are not the program.
  EXPECT_FALSE(NamesSameFile(temp, moduleShort));
  EXPECT_FALSE(NamesSameFile(".\\uninstall2.exe", moduleShort));
  std::string other = std::string(folder) + "\\other.exe /s";
  EXPECT_STREQ(" Long \xC4rchiver Folder\\other.exe /s", SkipProgramName(other.c_str(), exe, NamesSameFile, moduleShort));
  SetCurrentDirectoryA(cwd);
  DeleteFileA(exe);
  RemoveDirectoryA(folder);
}

} // namespace
