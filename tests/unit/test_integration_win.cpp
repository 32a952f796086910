// Shell links, folder removal and the WOW64 probe, against the real shell;
// the give-back of associations and the removal of the shell extension's
// handler keys, against the real registry. The registry tests use extension
// names of their own, and the volume extensions .q00 to .q99 and the handler
// keys named "Quabix", which the test prefix does not have otherwise.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "integration/association_rules.h"
#include "integration/integration.h"
#include "integration/saved_records.h"
#include "registry_scratch.h"

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

// That the answer is asked for once is tested natively (CachedProbe).
TEST(Wow64, ProbeAgreesWithTheSystem)
{
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(wow64 != 0, IsWow64());
}

typedef std::map<std::string, std::string> Values;

// Every value of a key by name ("" for the default), as raw bytes.
Values ValuesOf(HKEY root, const std::string &path)
{
  Values out;
  HKEY key;
  if (scratch::OpenPath(root, path, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return out;
  for (DWORD i = 0;; i++)
  {
    char name[256];
    BYTE data[2048];
    DWORD nameLen = sizeof(name), dataLen = sizeof(data);
    if (RegEnumValueA(key, i, name, &nameLen, NULL, NULL, data, &dataLen) != ERROR_SUCCESS)
      break;
    out[std::string(name, nameLen)] = std::string((const char *)data, dataLen);
  }
  RegCloseKey(key);
  return out;
}

std::string Sz(const char *text)
{
  return std::string(text, strlen(text) + 1); // REG_SZ bytes with the terminator
}

std::string VolumeKey(int i)
{
  char name[8];
  snprintf(name, sizeof(name), ".q%02d", i);
  return name;
}

const char kSavedRoot[] = "Software\\Quabix\\Setup";
// The machine-wide copy, under HKEY_LOCAL_MACHINE.
const char kMachineRoot[] = "Software\\Quabix\\Setup";

class GiveBack : public ::testing::Test
{
protected:
  void SetUp() override
  {
    for (int i = 0; i < kVolumeExtensionCount; i++)
      ASSERT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, VolumeKey(i))) << "the test prefix has its own volume keys";
  }
  void TearDown() override
  {
    for (const std::string &ext : m_exts)
    {
      scratch::Remove(HKEY_CLASSES_ROOT, ext);
      scratch::Remove(HKEY_CURRENT_USER, std::string(kSavedRoot) + "\\" + ext);
      scratch::Remove(HKEY_LOCAL_MACHINE, std::string(kMachineRoot) + "\\" + ext);
    }
    for (int i = 0; i < kVolumeExtensionCount; i++)
    {
      scratch::Remove(HKEY_CLASSES_ROOT, VolumeKey(i));
      scratch::Remove(HKEY_CURRENT_USER, std::string(kSavedRoot) + "\\" + VolumeKey(i));
    }
    scratch::RemoveIfEmpty(HKEY_CURRENT_USER, kSavedRoot);
    scratch::RemoveIfEmpty(HKEY_CURRENT_USER, "Software\\Quabix");
    scratch::RemoveIfEmpty(HKEY_LOCAL_MACHINE, kMachineRoot);
    scratch::RemoveIfEmpty(HKEY_LOCAL_MACHINE, "Software\\Quabix");
  }
  std::string NewExtension()
  {
    m_exts.push_back("." + scratch::UniqueName());
    return m_exts.back();
  }
  std::vector<std::string> m_exts;
};

TEST_F(GiveBack, AKeyWithAnotherProgramsSubkeyLosesOnlyTheArchiversValues)
{
  const std::string taken = NewExtension(), plain = NewExtension();
  for (const std::string &ext : {taken, plain})
    ApplyExtensionAssociation(ext.c_str(), true, false, false, false);
  // Added since by another program, as modern Windows does.
  const std::string progids = taken + "\\OpenWithProgids";
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, progids, "OtherApp.File", ""));
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, taken, "PerceivedType", "compressed"));
  for (const std::string &ext : {taken, plain})
    ApplyExtensionAssociation(ext.c_str(), false, false, false, false);
  // On both families: RegDeleteKeyA of the 9x family would have taken the subkey.
  EXPECT_EQ((Values{{"PerceivedType", Sz("compressed")}}), ValuesOf(HKEY_CLASSES_ROOT, taken));
  EXPECT_EQ((std::vector<std::string>{"OpenWithProgids"}), scratch::Tree(HKEY_CLASSES_ROOT, taken));
  EXPECT_EQ((Values{{"OtherApp.File", Sz("")}}), ValuesOf(HKEY_CLASSES_ROOT, progids));
  EXPECT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, plain));
}

TEST_F(GiveBack, ASetupStoppedBetweenMakingAKeyAndTypingItIsFinishedAndUndoneWithoutTrace)
{
  const std::string ext = NewExtension();
  ApplyExtensionAssociation(ext.c_str(), true, false, false, false);
  // What a run stopped between creating the key and setting its type leaves.
  scratch::Remove(HKEY_CLASSES_ROOT, ext);
  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, ext));
  ApplyExtensionAssociation(ext.c_str(), true, false, false, false);
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, std::string(kSavedRoot) + "\\" + ext, "Exist", 0));
  ApplyExtensionAssociation(ext.c_str(), false, false, false, false);
  EXPECT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, ext));
  // Another program's key, empty, is its own all the same.
  scratch::Remove(HKEY_CURRENT_USER, std::string(kSavedRoot) + "\\" + ext);
  scratch::Remove(HKEY_LOCAL_MACHINE, std::string(kMachineRoot) + "\\" + ext);
  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, ext));
  ApplyExtensionAssociation(ext.c_str(), true, false, false, false);
  ApplyExtensionAssociation(ext.c_str(), false, false, false, false);
  EXPECT_TRUE(scratch::KeyExists(HKEY_CLASSES_ROOT, ext));
}

// What an uninstall by another account sees: the installing user's copy of
// a record where it has one, the machine-wide copy where it has not.
TEST_F(GiveBack, TheUsersRecordComesFirstAndTheMachineWideOneStandsInForIt)
{
  const std::string seen = NewExtension(), unseen = NewExtension();
  for (const std::string &ext : {seen, unseen})
  {
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ext, "", "OtherApp.Archive"));
    ApplyExtensionAssociation(ext.c_str(), true, false, false, false);
  }
  ASSERT_TRUE(scratch::SetString(HKEY_CURRENT_USER, std::string(kSavedRoot) + "\\" + seen, "Type", "UsersApp.Archive"));
  scratch::Remove(HKEY_CURRENT_USER, std::string(kSavedRoot) + "\\" + unseen);
  for (const std::string &ext : {seen, unseen})
    ApplyExtensionAssociation(ext.c_str(), false, false, false, false);
  EXPECT_EQ((Values{{"", Sz("UsersApp.Archive")}}), ValuesOf(HKEY_CLASSES_ROOT, seen));
  EXPECT_EQ((Values{{"", Sz("OtherApp.Archive")}}), ValuesOf(HKEY_CLASSES_ROOT, unseen));

  // A list of paths: each copy holds an item once, whatever its letter case.
  const std::string list = "Setup\\" + scratch::UniqueName();
  AddSavedPath(list.c_str(), "C:\\Users\\A\\Desktop\\Quabix.lnk");
  AddSavedPath(list.c_str(), "C:\\USERS\\a\\Desktop\\quabix.lnk");
  AddSavedPath(list.c_str(), "C:\\Users\\B\\Desktop\\Quabix.lnk");
  for (bool machine : {false, true})
  {
    char path[MAX_PATH];
    std::vector<std::string> items;
    for (int i = 0; GetSavedPath(machine, list.c_str(), i, path, sizeof(path)); i++)
      items.push_back(path);
    EXPECT_EQ((std::vector<std::string>{"C:\\Users\\A\\Desktop\\Quabix.lnk", "C:\\Users\\B\\Desktop\\Quabix.lnk"}), items)
      << machine;
  }
  scratch::Remove(HKEY_CURRENT_USER, "Software\\Quabix\\" + list);
  scratch::Remove(HKEY_LOCAL_MACHINE, "Software\\Quabix\\" + list);
}

TEST_F(GiveBack, OnlyVolumeKeysThatAreStillTheArchiversChange)
{
  const int taken = scratch::IsNtFamily() ? 30 : kVolumeExtensionCount;
  // QBX with no owner before, and with another program's type.
  for (const char *previous : {"", "OtherApp.Qbx"})
  {
    SCOPED_TRACE(previous);
    const std::string qbx = NewExtension();
    if (previous[0])
      ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, qbx, "", previous));
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".q45", "", "OtherApp.Volume"));
    // .q05 has an owner of its own before setup.
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".q05", "", "OtherApp.Part"));
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".q05", "Content Type", "application/x-part"));
    ApplyExtensionAssociation(qbx.c_str(), true, false, true, false);
    for (int i = 0; i < kVolumeExtensionCount; i++)
      if (i != 45)
        EXPECT_EQ(i < taken, scratch::Present(HKEY_CLASSES_ROOT, VolumeKey(i))) << VolumeKey(i);
    // Another program (re)takes one of them; on the NT family setup never had it.
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".q45", "", "OtherApp.Volume"));
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".q07", "", "OtherApp.Volume"));
    ApplyExtensionAssociation(qbx.c_str(), false, false, true, false);
    for (int i = 0; i < kVolumeExtensionCount; i++)
    {
      const std::string v = VolumeKey(i);
      if (i == 45 || i == 7)
        EXPECT_EQ((Values{{"", Sz("OtherApp.Volume")}}), ValuesOf(HKEY_CLASSES_ROOT, v)) << v;
      else if (i == 5)
        EXPECT_EQ((Values{{"", Sz("OtherApp.Part")}, {"Content Type", Sz("application/x-part")}}),
                  ValuesOf(HKEY_CLASSES_ROOT, v));
      else if (previous[0] && i < taken)
        EXPECT_EQ((Values{{"", Sz(previous)}}), ValuesOf(HKEY_CLASSES_ROOT, v)) << v;
      else
        EXPECT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, v));
    }
    for (int i = 0; i < kVolumeExtensionCount; i++)
      scratch::Remove(HKEY_CLASSES_ROOT, VolumeKey(i));
  }
}

TEST_F(GiveBack, ShellNewLosesTheTemplateAndGetsTheSavedEntryBack)
{
  char templatePath[MAX_PATH];
  GetModuleFileNameA(NULL, templatePath, sizeof(templatePath));
  strcpy(strrchr(templatePath, '\\') + 1, "zipnew.dat");
  const bool templateThere = GetFileAttributesA(templatePath) != INVALID_FILE_ATTRIBUTES;

  const std::string owned = NewExtension(), unowned = NewExtension(), held = NewExtension();
  const std::string retaken = NewExtension(), stopped = NewExtension();
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, owned, "", "OtherApp.Zip"));
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, owned + "\\ShellNew", "NullFile", ""));
  // A ShellNew key with a subkey of another program's: setup cannot replace it.
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, held, "", "OtherApp.Zip"));
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, held + "\\ShellNew", "NullFile", ""));
  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, held + "\\ShellNew\\Config"));
  for (const std::string &ext : {owned, unowned, held, retaken, stopped})
  {
    ApplyExtensionAssociation(ext.c_str(), true, true, false, true);
    Values shellNew = ValuesOf(HKEY_CLASSES_ROOT, ext + "\\ShellNew");
    EXPECT_TRUE(shellNew.count("FileName") || shellNew.count("Data")) << ext;
  }
  EXPECT_TRUE(ValuesOf(HKEY_CLASSES_ROOT, owned + "\\ShellNew").count("NullFile") == 0);
  // Another program takes one back and leaves its ShellNew key alone; a
  // give-back of another is stopped after it took the template value away.
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, retaken, "", "ThirdParty.Zip"));
  scratch::DeleteValue(HKEY_CLASSES_ROOT, stopped + "\\ShellNew", "FileName");
  scratch::DeleteValue(HKEY_CLASSES_ROOT, stopped + "\\ShellNew", "Data");
  for (const std::string &ext : {owned, unowned, held, retaken, stopped})
    ApplyExtensionAssociation(ext.c_str(), false, true, false, true);
  EXPECT_EQ((Values{{"", Sz("ThirdParty.Zip")}}), ValuesOf(HKEY_CLASSES_ROOT, retaken));
  EXPECT_EQ((std::vector<std::string>{}), scratch::Tree(HKEY_CLASSES_ROOT, retaken));
  EXPECT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, stopped));
  EXPECT_EQ((Values{{"NullFile", Sz("")}}), ValuesOf(HKEY_CLASSES_ROOT, owned + "\\ShellNew"));
  EXPECT_EQ((Values{{"NullFile", Sz("")}}), ValuesOf(HKEY_CLASSES_ROOT, held + "\\ShellNew"));
  EXPECT_TRUE(scratch::KeyExists(HKEY_CLASSES_ROOT, held + "\\ShellNew\\Config"));
  EXPECT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, unowned));

  // A "FileName" that is not the template stays: it is not setup's.
  ApplyExtensionAssociation(unowned.c_str(), true, false, false, true);
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, unowned + "\\ShellNew", "FileName", "C:\\Other\\new.zip"));
  ApplyExtensionAssociation(unowned.c_str(), false, false, false, true);
  EXPECT_EQ((Values{{"FileName", Sz("C:\\Other\\new.zip")}}), ValuesOf(HKEY_CLASSES_ROOT, unowned + "\\ShellNew"));
  EXPECT_TRUE(ValuesOf(HKEY_CLASSES_ROOT, unowned).empty());

  if (!templateThere)
    DeleteFileA(templatePath);
}

const char *const kNamedHandlers[] = {
  "*\\shellex\\ContextMenuHandlers\\Quabix",         "Folder\\shellex\\ContextMenuHandlers\\Quabix",
  "Folder\\shellex\\DragDropHandlers\\Quabix",        "Drive\\shellex\\DragDropHandlers\\Quabix",
  "Directory\\shellex\\ContextMenuHandlers\\Quabix", "Directory\\shellex\\DragDropHandlers\\Quabix",
};

TEST(ShellExtension, HandlerKeysNamedQuabixGoWhenNothingElseIsInThem)
{
  // Every key on the way to a handler key, and whether it was there before.
  std::vector<std::pair<std::string, bool>> parents;
  std::vector<std::string> paths(kNamedHandlers, kNamedHandlers + 6);
  paths.push_back(std::string("exefile\\shellex\\PropertySheetHandlers\\") + kShellExtClsid32);
  for (const std::string &path : paths)
  {
    ASSERT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, path));
    for (size_t cut = path.find('\\'); cut != std::string::npos; cut = path.find('\\', cut + 1))
      parents.push_back({path.substr(0, cut), scratch::Present(HKEY_CLASSES_ROOT, path.substr(0, cut))});
  }
  // The DLL is missing: only the handler entries are written.
  RegisterShellExtensionDll(true, "qbxext-test-missing.dll", kShellExtClsid32, false);
  for (const char *handler : kNamedHandlers)
    ASSERT_EQ((Values{{"", Sz(kShellExtClsid32)}}), ValuesOf(HKEY_CLASSES_ROOT, handler)) << handler;
  // Another program wrote into one of them.
  const std::string shared = kNamedHandlers[3];
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, shared, "OtherApp", "1"));

  RegisterShellExtensionDll(false, "qbxext-test-missing.dll", kShellExtClsid32, false);
  for (const char *handler : kNamedHandlers)
    if (handler != shared)
      EXPECT_TRUE(scratch::KeyMissing(HKEY_CLASSES_ROOT, handler));
  EXPECT_EQ((Values{{"OtherApp", Sz("1")}}), ValuesOf(HKEY_CLASSES_ROOT, shared));
  for (const auto &parent : parents)
    EXPECT_TRUE(scratch::KeyExists(HKEY_CLASSES_ROOT, parent.first));

  scratch::Remove(HKEY_CLASSES_ROOT, shared);
  for (auto it = parents.rbegin(); it != parents.rend(); ++it)
    if (!it->second)
      scratch::RemoveIfEmpty(HKEY_CLASSES_ROOT, it->first);
  scratch::Remove(HKEY_CLASSES_ROOT, "Quabix");
  scratch::Remove(HKEY_CLASSES_ROOT, "Quabix.ZIP");
}

} // namespace
