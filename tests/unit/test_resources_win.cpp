// The resources of the built uninstall.exe, read as a data file.
#include <windows.h>

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "util/path.h"
#include "util/platform.h"

namespace {

class UninstallResources : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // The test program lives in <build>/tests, the tool in <build>/app.
    char path[kPathSize];
    ASSERT_TRUE(GetModulePath(path, sizeof(path)));
    StripFileName(path);
    StripFileName(path);
    m_path = std::string(path) + "\\app\\uninstall.exe";
    m_module = LoadLibraryExA(m_path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(m_module != NULL) << m_path;
  }
  void TearDown() override
  {
    if (m_module)
      FreeLibrary(m_module);
  }

  std::string Resource(const char *type, const char *name)
  {
    HRSRC r = FindResourceA(m_module, name, type);
    if (!r)
      return std::string();
    HGLOBAL g = LoadResource(m_module, r);
    return std::string((const char *)LockResource(g), SizeofResource(m_module, r));
  }

  std::string m_path;
  HMODULE m_module = NULL;
};

TEST_F(UninstallResources, StringTable)
{
  const struct
  {
    UINT Id;
    const char *Text;
  } strings[] = {
    {5101, "Quabix archiver"},
    {5102, "Quabix help"},
    {5103, "Console QBX manual"},
    {5104, "Uninstall Quabix"},
    {5105, "Uninstall completed"},
    {5106, "You should delete %s manually"},
    {5107, "Continue with uninstall Quabix"},
    {5108, "Cannot open list file %s"},
    {5109, "Quabix archive"},
    {5110, "Quabix ZIP archive"},
    {5111, "QBX recovery volume"},
    {5113, "Process QBX, ZIP and other archive formats"},
    {5114, "You need to reboot Windows to uninstall Quabix completely."},
  };
  for (const auto &s : strings)
  {
    char text[512];
    ASSERT_GT(LoadStringA(m_module, s.Id, text, sizeof(text)), 0) << s.Id;
    EXPECT_STREQ(s.Text, text) << s.Id;
  }
  char home[512];
  ASSERT_GT(LoadStringA(m_module, 5112, home, sizeof(home)), 0);
  EXPECT_EQ(0, strncmp(home, "https://", 8)) << home;
  EXPECT_NE(nullptr, strstr(home, ".example")) << home; // a reserved example domain
}

BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR out)
{
  *(std::string *)out = IS_INTRESOURCE(name) ? "#" + std::to_string((ULONG_PTR)name) : name;
  return FALSE;
}

TEST_F(UninstallResources, DelIconComesFirstAndQbxIconExists)
{
  std::string first;
  EnumResourceNamesA(m_module, RT_GROUP_ICON, FirstName, (LONG_PTR)&first);
  EXPECT_EQ("DELICON", first);
  EXPECT_TRUE(FindResourceA(m_module, "QBXICON", RT_GROUP_ICON) != NULL);
}

TEST_F(UninstallResources, ManifestAsksForCommonControls6AndAdministrator)
{
  std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\""));
  EXPECT_NE(std::string::npos, manifest.find("version=\"6.0.0.0\""));
  // Elevation whatever the policy on installer detection says.
  EXPECT_NE(std::string::npos, manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"));
  EXPECT_NE(std::string::npos,
            manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"));
  EXPECT_EQ(std::string::npos, manifest.find("asInvoker"));
}

TEST_F(UninstallResources, VersionResourceNamesTheProduct)
{
  DWORD ignored;
  DWORD size = GetFileVersionInfoSizeA(m_path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, 0);
  ASSERT_TRUE(GetFileVersionInfoA(m_path.c_str(), 0, size, &data[0]));
  char *value;
  UINT len;
  ASSERT_TRUE(VerQueryValueA(&data[0], "\\StringFileInfo\\040904E4\\ProductName", (void **)&value, &len));
  EXPECT_STREQ("Quabix archiver", value);
  ASSERT_TRUE(VerQueryValueA(&data[0], "\\StringFileInfo\\040904E4\\OriginalFilename", (void **)&value, &len));
  EXPECT_STREQ("uninstall.exe", value);
}

} // namespace
