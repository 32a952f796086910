// The user's choices under the application key, against the real registry.
// These tests own HKEY_CURRENT_USER\Software\Quabix\Setup and the extension
// keys .jar, .iso and .7z of HKEY_CLASSES_ROOT, which the test prefix does
// not have otherwise.
#include <windows.h>

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "integration/setup_options.h"
#include "registry/registry.h"
#include "registry_scratch.h"

namespace {

using scratch::KeyMissing;

const char kSetupKey[] = "Software\\Quabix\\Setup";
const char *const kOwnedExtensions[] = {".jar", ".iso", ".7z"};

::testing::AssertionResult SameRecord(const SetupOptions &expected, const SetupOptions &got)
{
  if (memcmp(&expected, &got, sizeof(got)) == 0)
    return ::testing::AssertionSuccess();
  ::testing::AssertionResult r = ::testing::AssertionFailure();
  const unsigned char *e = (const unsigned char *)&expected, *g = (const unsigned char *)&got;
  for (size_t i = 0; i < sizeof(got); i++)
    if (e[i] != g[i])
      r << "byte " << i << ": " << (int)g[i] << ", expected " << (int)e[i] << "; ";
  return r;
}

SetupOptions Defaults()
{
  SetupOptions o;
  memset(o.Associations, 1, sizeof(o.Associations));
  o.Desktop = 0;
  o.StartMenu = 0;
  o.Programs = 1;
  o.ShellExt = 1;
  o.CascadedMenu = 0;
  o.MenuIcons = 1;
  return o;
}

SetupOptions Loaded()
{
  SetupOptions o;
  memset(&o, 0xAA, sizeof(o)); // every field must be written
  LoadSetupOptions(o);
  return o;
}

std::string ChoiceKey(int row)
{
  return std::string(kSetupKey) + "\\" + g_ArchiveTypes[row].PrimaryExt;
}

// The 20 values as they are stored, each 0 or 1.
::testing::AssertionResult StoredAs(const SetupOptions &record)
{
  ::testing::AssertionResult r = ::testing::AssertionSuccess();
  for (int row = 0; row < kArchiveTypeCount; row++)
  {
    r = scratch::HasDword(HKEY_CURRENT_USER, ChoiceKey(row), "Set", record.Associations[row]);
    if (!r)
      return r;
  }
  const std::string links = std::string(kSetupKey) + "\\Links";
  const struct
  {
    std::string Path;
    const char *Name;
    unsigned char Flag;
  } values[] = {
    {links, "Desktop", record.Desktop},
    {links, "StartMenu", record.StartMenu},
    {links, "Programs", record.Programs},
    {kSetupKey, "ShellExt", record.ShellExt},
    {kSetupKey, "CascadedMenu", record.CascadedMenu},
    {kSetupKey, "MenuIcons", record.MenuIcons},
  };
  for (const auto &v : values)
    if (!(r = scratch::HasDword(HKEY_CURRENT_USER, v.Path, v.Name, v.Flag)))
      return r;
  return r;
}

class SetupOptionsStore : public ::testing::Test
{
protected:
  void SetUp() override
  {
    scratch::Remove(HKEY_CURRENT_USER, kSetupKey);
    for (const char *ext : kOwnedExtensions)
      ASSERT_TRUE(KeyMissing(HKEY_CLASSES_ROOT, ext)) << "the test prefix has its own " << ext;
  }
  void TearDown() override
  {
    scratch::Remove(HKEY_CURRENT_USER, kSetupKey);
    scratch::RemoveIfEmpty(HKEY_CURRENT_USER, kAppKey);
    for (const char *ext : kOwnedExtensions)
      scratch::Remove(HKEY_CLASSES_ROOT, ext);
  }
};

TEST_F(SetupOptionsStore, NoKeysGiveTheDefaultsAndLoadingWritesNothing)
{
  EXPECT_TRUE(SameRecord(Defaults(), Loaded()));
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, kSetupKey));
}

TEST_F(SetupOptionsStore, SavingWritesTwentyDwordsThatLoadBack)
{
  SetupOptions zero, one, mixed;
  memset(&zero, 0, sizeof(zero));
  memset(&one, 1, sizeof(one));
  for (size_t i = 0; i < sizeof(mixed); i++)
    ((unsigned char *)&mixed)[i] = (unsigned char)((i * 7 / 3) % 2);
  for (const SetupOptions &record : {zero, one, mixed})
  {
    SaveSetupOptions(record);
    EXPECT_TRUE(StoredAs(record));
    // Nothing else: 15 keys below Setup, 20 values in all.
    std::vector<std::string> keys = scratch::Tree(HKEY_CURRENT_USER, kSetupKey);
    EXPECT_EQ(15u, keys.size());
    keys.push_back("");
    DWORD values = 0;
    for (const std::string &k : keys)
    {
      HKEY key;
      std::string path = std::string(kSetupKey) + (k.empty() ? "" : "\\" + k);
      ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key));
      DWORD n = 0;
      RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &n, NULL, NULL, NULL, NULL);
      values += n;
      RegCloseKey(key);
    }
    EXPECT_EQ(20u, values);
    EXPECT_TRUE(SameRecord(record, Loaded()));
  }
  // Flags other than 0 and 1 are stored as 1.
  SetupOptions two;
  memset(&two, 2, sizeof(two));
  SaveSetupOptions(two);
  EXPECT_TRUE(StoredAs(one));
  EXPECT_TRUE(SameRecord(one, Loaded()));
}

TEST_F(SetupOptionsStore, AnyNonzeroStoredValueReadsAsTrue)
{
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, ChoiceKey(kZipRow), "Set", 0));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, ChoiceKey(kQbxRow), "Set", 2));
  const std::string links = std::string(kSetupKey) + "\\Links";
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, links, "Desktop", 7));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, kSetupKey, "CascadedMenu", 0xFFFFFFFF));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, kSetupKey, "MenuIcons", 0));
  SetupOptions expected = Defaults();
  expected.Associations[kZipRow] = 0;
  expected.Desktop = 1;
  expected.CascadedMenu = 1;
  expected.MenuIcons = 0;
  EXPECT_TRUE(SameRecord(expected, Loaded()));
}

// What HKEY_CLASSES_ROOT\<ext> holds in each case.
struct Owner
{
  const char *Case;
  bool KeyPresent;
  bool HasDefault;
  std::string Default;
  bool OtherOwns; // the rule then clears the choice
};

TEST_F(SetupOptionsStore, JarAndIsoAreClearedWhileAnotherProgramOwnsThem)
{
  const Owner owners[] = {
    {"key absent", false, false, "", false},
    {"no default value", true, false, "", false},
    {"empty default", true, true, "", false},
    {"Quabix", true, true, "Quabix", false},
    {"QUABIX", true, true, "QUABIX", false},
    {"quabix.zip", true, true, "quabix.zip", false},
    {"another program", true, true, "OtherApp.Document", true},
    {"Quabix.REV", true, true, "Quabix.REV", true},
    {"79 characters", true, true, std::string(79, 'o'), true},
    // Does not fit the 80-byte buffer, so it reads as empty.
    {"80 characters", true, true, std::string(80, 'o'), false},
    {"200 characters", true, true, std::string(200, 'o'), false},
  };
  enum Stored
  {
    kAbsent,
    kZero,
    kOne
  };
  for (int row : {kJarRow, kIsoRow})
  {
    const char *ext = g_ArchiveTypes[row].PrimaryExt;
    for (const Owner &o : owners)
      for (Stored stored : {kAbsent, kZero, kOne})
      {
        SCOPED_TRACE(std::string(ext) + ", " + o.Case + ", stored " +
                     (stored == kAbsent ? "nothing" : stored == kZero ? "0" : "1"));
        scratch::Remove(HKEY_CLASSES_ROOT, ext);
        scratch::Remove(HKEY_CURRENT_USER, kSetupKey);
        if (o.KeyPresent)
          ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, ext));
        if (o.HasDefault)
          ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ext, "", o.Default));
        if (stored != kAbsent)
          ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, ChoiceKey(row), "Set", stored == kOne));

        SetupOptions expected = Defaults();
        expected.Associations[row] = (stored != kZero && !o.OtherOwns) ? 1 : 0;
        EXPECT_TRUE(SameRecord(expected, Loaded()));
      }
    scratch::Remove(HKEY_CLASSES_ROOT, ext);
  }
}

TEST_F(SetupOptionsStore, OnlyJarAndIsoFollowTheirOwner)
{
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".7z", "", "OtherApp.7z"));
  ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ".jar", "", "OtherApp.jar"));
  SetupOptions expected = Defaults();
  expected.Associations[kJarRow] = 0;
  EXPECT_TRUE(SameRecord(expected, Loaded()));
}

TEST(OwnAssociation, TheArchiversTwoDocumentTypesInAnyLetterCase)
{
  const std::string ext = "." + scratch::UniqueName();
  struct
  {
    const char *Default;
    bool Own;
  } cases[] = {
    {"Quabix", true},      {"Quabix.ZIP", true}, {"qUaBiX.zIp", true}, {"QUABIX", true},
    {"Quabix.REV", false}, {"Quabix ", false},   {"Quabi", false},     {"", false},
    {"OtherApp", false},
  };
  EXPECT_FALSE(IsOwnAssociation(ext.c_str())); // no key
  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, ext));
  EXPECT_FALSE(IsOwnAssociation(ext.c_str())); // no default value
  for (const auto &c : cases)
  {
    ASSERT_TRUE(scratch::SetString(HKEY_CLASSES_ROOT, ext, "", c.Default));
    EXPECT_EQ(c.Own, IsOwnAssociation(ext.c_str())) << "\"" << c.Default << "\"";
  }
  scratch::Remove(HKEY_CLASSES_ROOT, ext);
}

} // namespace
