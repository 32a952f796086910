// The resource module, GetLangString and the language file read from disk,
// with the language DLLs that qbx_language_dll made and the strings of the
// real uninstall.exe as the program's own module.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "lang/lang_string.h"
#include "lang/language_file.h"
#include "reference_crc32.h"
#include "util/path.h"
#include "util/platform.h"

// uninstall.exe defines these in its entry point; this program has its own.
ExtResource g_ExtResource;
LanguageResources g_LanguageResources;

namespace {

std::string BuildFolder()
{
  // The test program lives in <build>/tests.
  char path[kPathSize];
  GetModulePath(path, sizeof(path));
  StripFileName(path);
  StripFileName(path);
  return path;
}

void WriteBytes(const std::string &path, const std::string &data)
{
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
  DWORD done;
  WriteFile(h, data.data(), (DWORD)data.size(), &done, NULL);
  CloseHandle(h);
}

std::string Entry(const std::string &classContextText, const std::string &translation)
{
  return ReferenceKey(classContextText) + "=\"" + translation + "\"\r\n";
}

class LangModules : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    m_folder = std::string(temp) + "qbx-lang-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(m_folder.c_str(), NULL);
    m_empty = m_folder + "\\empty";
    CreateDirectoryA(m_empty.c_str(), NULL);
    std::string exe = BuildFolder() + "\\app\\uninstall.exe";
    m_own = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(m_own != NULL) << exe;
  }
  void TearDown() override
  {
    FreeLanguageDll();
    g_LanguageResources.Unload();
    DeleteFileA((m_folder + "\\qbxlng.dll").c_str());
    DeleteFileA((m_folder + "\\test.lng").c_str());
    RemoveDirectoryA(m_empty.c_str());
    RemoveDirectoryA(m_folder.c_str());
    if (m_own)
      FreeLibrary(m_own);
  }

  void UseDll(const char *fixture)
  {
    std::string from = BuildFolder() + "\\tests\\lang\\" + fixture;
    ASSERT_TRUE(CopyFileA(from.c_str(), (m_folder + "\\qbxlng.dll").c_str(), FALSE)) << from;
    LoadLanguageDll(m_own, m_folder.c_str());
    ASSERT_EQ(1, g_ExtResource.Loaded);
  }
  std::string LanguageFile(const std::string &entries)
  {
    std::string path = m_folder + "\\test.lng";
    WriteBytes(path, "header\r\n***messages***\r\n" + entries);
    return path;
  }

  std::string m_folder;
  std::string m_empty;
  HMODULE m_own = NULL;
};

TEST_F(LangModules, NineCallsOfGetLangStringTheNinthOverwritesTheFirst)
{
  UseDll("strings.dll");
  const UINT ids[] = {5104, 5105, 5106, 5107, 5108, 5114, 5101, 5102};
  char *results[8];
  std::set<char *> buffers;
  for (int i = 0; i < 8; i++)
  {
    results[i] = GetLangString(ids[i]);
    buffers.insert(results[i]);
  }
  EXPECT_EQ(8u, buffers.size());
  // All eight are intact at once.
  EXPECT_STREQ("Quabix deinstallieren", results[0]);
  EXPECT_STREQ("Deinstallation abgeschlossen", results[1]);
  EXPECT_STREQ("Bitte l\xe4schen Sie %s von Hand", results[2]);
  EXPECT_STREQ("Deinstallation von Quabix fortsetzen?", results[3]);
  EXPECT_STREQ("Cannot open list file %s", results[4]); // not in the DLL
  EXPECT_STREQ("Quabix Archivierer", results[6]);
  EXPECT_STREQ("Quabix help", results[7]);
  char *ninth = GetLangString(5110);
  EXPECT_EQ(results[0], ninth);
  EXPECT_STREQ("Quabix ZIP archive", results[0]);
  EXPECT_STREQ("Deinstallation abgeschlossen", results[1]);
  EXPECT_STREQ("", GetLangString(4000)); // no module has it
}

TEST_F(LangModules, WithALanguageFileTheDllStringsAreNeverUsed)
{
  UseDll("strings.dll");
  std::string path = LanguageFile(Entry("sContinue with uninstall Quabix", "Weiter?") +
                                  Entry("sQuabix deinstallieren", "from the DLL's text"));
  g_LanguageResources.LoadLanguageFile(path.c_str());
  ASSERT_TRUE(g_LanguageResources.IsLoaded());
  EXPECT_STREQ("Weiter?", GetLangString(5107));
  EXPECT_STREQ("Uninstall Quabix", GetLangString(5104));
  EXPECT_STREQ("Cannot open list file %s", GetLangString(5108));
  // Dialogs and icons still come from the DLL.
  EXPECT_TRUE(FindResourceA(GetResourceModule(), "LANGTEST", RT_DIALOG) != NULL);
  EXPECT_TRUE(LoadIconA(GetResourceModule(), "QBXICON") != NULL);
}

TEST_F(LangModules, FreeLanguageDllMakesTheOwnModuleTheResourceModule)
{
  UseDll("strings.dll");
  EXPECT_NE(m_own, GetResourceModule());
  EXPECT_STREQ("Quabix deinstallieren", GetLangString(5104));
  FreeLanguageDll();
  EXPECT_EQ(0, g_ExtResource.Loaded);
  EXPECT_EQ(m_own, GetResourceModule());
  EXPECT_STREQ("Uninstall Quabix", GetLangString(5104));
  // The file is no longer in use.
  EXPECT_TRUE(DeleteFileA((m_folder + "\\qbxlng.dll").c_str()));
  FreeLanguageDll(); // a second time does nothing
  EXPECT_EQ(m_own, GetResourceModule());
}

TEST_F(LangModules, WithoutADllTheOwnModuleServesEverything)
{
  LoadLanguageDll(m_own, m_empty.c_str());
  EXPECT_EQ(0, g_ExtResource.Loaded);
  EXPECT_EQ(m_own, GetResourceModule());
  EXPECT_EQ(m_own, GetOwnModule());
  EXPECT_STREQ("Continue with uninstall Quabix", GetLangString(5107));
  // A folder path that cannot hold the DLL's name loads nothing.
  std::string tooLong(kPathSize - 5, 'x');
  LoadLanguageDll(m_own, tooLong.c_str());
  EXPECT_EQ(0, g_ExtResource.Loaded);
}

TEST_F(LangModules, ReadingDirectionFromTheDllOrTheFile)
{
  std::string path = LanguageFile(Entry("$LTRLTR", "RTL"));
  g_LanguageResources.LoadLanguageFile(path.c_str());
  EXPECT_TRUE(g_LanguageResources.RightToLeft());
  path = LanguageFile(Entry("$LTRLTR", "LTR"));
  g_LanguageResources.LoadLanguageFile(path.c_str());
  EXPECT_FALSE(g_LanguageResources.RightToLeft());
  UseDll("rtl.dll");
  g_LanguageResources.LoadLanguageFile(path.c_str());
  EXPECT_TRUE(g_LanguageResources.RightToLeft()); // the "RTL" dialog wins
  g_LanguageResources.LoadLanguageFile((m_folder + "\\missing.lng").c_str());
  EXPECT_FALSE(g_LanguageResources.IsLoaded());
  EXPECT_TRUE(g_LanguageResources.RightToLeft()); // decided without a file too
  FreeLanguageDll();
  g_LanguageResources.LoadLanguageFile((m_folder + "\\missing.lng").c_str());
  EXPECT_FALSE(g_LanguageResources.RightToLeft());
}

TEST_F(LangModules, TheFileIsReadWhileAnotherProgramWritesIt)
{
  // The marker beyond the first block: Tell, Read and Seek of File at work.
  std::string path = LanguageFile("");
  WriteBytes(path, std::string(20000, '*') + "***messages***\r\n" + Entry("sUninstall Quabix", "Entfernen") +
                      Entry("$SETUPDLG", "120*110"));
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  LoadLanguageDll(m_own, m_empty.c_str());
  g_LanguageResources.LoadLanguageFile(path.c_str());
  CloseHandle(writer);
  ASSERT_TRUE(g_LanguageResources.IsLoaded());
  EXPECT_STREQ("Entfernen", GetLangString(5104));
  int xs = 0, ys = 0;
  EXPECT_TRUE(GetDialogScale("SETUPDLG", xs, ys));
  EXPECT_EQ(120, xs);
  EXPECT_EQ(110, ys);
  EXPECT_FALSE(GetDialogScale("DONEDLG", xs, ys));
  EXPECT_EQ(100, xs);
  EXPECT_EQ(100, ys);
}

} // namespace
