// Shell links, folder removal and the WOW64 probe, against the real shell.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "integration/integration.h"

namespace {

std::string TempFolder(const char *name)
{
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  return std::string(dir) + name;
}

void WriteFile(const std::string &path, DWORD attributes)
{
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
  CloseHandle(h);
  SetFileAttributesA(path.c_str(), attributes);
}

class Shell : public ::testing::Test
{
protected:
  void SetUp() override { CoInitialize(NULL); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(Shell, DeleteFolderRemovesEverythingInIt)
{
  std::string folder = TempFolder("qbx-group-test");
  CreateDirectoryA(folder.c_str(), NULL);
  CreateDirectoryA((folder + "\\sub").c_str(), NULL);
  WriteFile(folder + "\\user file.txt", FILE_ATTRIBUTE_READONLY);
  WriteFile(folder + "\\sub\\hidden.lnk", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(DeleteFolder(folder.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
  EXPECT_FALSE(DeleteFolder(folder.c_str())); // nothing of that name any more
}

TEST_F(Shell, CreateShellLinkSavesALinkFile)
{
  std::string link = TempFolder("qbx-link-test.lnk");
  DeleteFileA(link.c_str());
  ASSERT_TRUE(CreateShellLink("C:\\Program Files\\Quabix\\Quabix.exe", link.c_str(), "a description"));
  HANDLE h = CreateFileA(link.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  unsigned char header[4] = {0};
  DWORD got = 0;
  ReadFile(h, header, sizeof(header), &got, NULL);
  CloseHandle(h);
  EXPECT_EQ(0x4C, header[0]); // the size of a shell link header
  DeleteFileA(link.c_str());
}

TEST_F(Shell, ALinkNameTooLongToConvertIsNotSavedUnderAnotherName)
{
  std::string stem = TempFolder("qbx-long-") + std::string(300, 'n');
  std::string link = stem + ".lnk";
  EXPECT_FALSE(CreateShellLink("C:\\Quabix\\Quabix.exe", link.c_str(), "d"));
  // Nothing was written under a name cut at 260 characters.
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(TempFolder("qbx-long-*").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h) << found.cFileName;
  if (h != INVALID_HANDLE_VALUE)
    FindClose(h);
}

TEST(Wow64, ProbeAgreesWithTheSystem)
{
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(wow64 != 0, IsWow64());
  EXPECT_EQ(wow64 != 0, IsWow64());
}

} // namespace
