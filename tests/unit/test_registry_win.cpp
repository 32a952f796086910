// The registry layer against the real registry of the test prefix. Every test
// works below keys of its own (unique names) and removes them again.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "registry/registry.h"
#include "registry_scratch.h"

namespace {

using scratch::KeyExists;
using scratch::KeyMissing;
using Keys = std::vector<std::string>;

class Registry : public ::testing::Test
{
protected:
  void SetUp() override
  {
    m_name = scratch::UniqueName();
    m_user = "Software\\" + m_name;
    m_app = std::string(kAppKey) + "\\" + m_name;
    m_abs = "\\" + m_user; // m_user, addressed through the layer under HKEY_CURRENT_USER
  }
  void TearDown() override
  {
    SetRegView64(false);
    scratch::Remove(HKEY_CURRENT_USER, m_user);
    scratch::Remove(HKEY_CURRENT_USER, m_app);
    scratch::Remove(HKEY_CLASSES_ROOT, m_name);
    for (REGSAM view : {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY})
    {
      scratch::Remove(HKEY_LOCAL_MACHINE, "Software\\" + m_name, view);
      scratch::Remove(HKEY_CLASSES_ROOT, "CLSID\\" + m_name, view);
    }
    scratch::RemoveIfEmpty(HKEY_CURRENT_USER, kAppKey);
  }

  // levels deep below base, siblings "k0", "k1", ... per level; every key
  // holds a value.
  ::testing::AssertionResult MakeTree(HKEY root, const std::string &base, int levels, int siblings)
  {
    if (levels == 0)
      return ::testing::AssertionSuccess();
    for (int i = 0; i < siblings; i++)
    {
      std::string key = base + "\\k" + std::to_string(i);
      ::testing::AssertionResult made = scratch::SetDword(root, key, "n", i);
      if (!made)
        return made;
      made = MakeTree(root, key, levels - 1, siblings);
      if (!made)
        return made;
    }
    return ::testing::AssertionSuccess();
  }

  std::string m_name; // unique key name of this test
  std::string m_user; // HKCU\Software\<name>
  std::string m_app;  // HKCU\Software\Quabix\<name>, the relative path <name>
  std::string m_abs;  // "\Software\<name>"
};

TEST_F(Registry, BuildRegPathAppliesTheApplicationKeyRuleToTheCurrentUserOnly)
{
  // The composition itself is tested natively; here which root gets the rule.
  char full[kRegPathSize];
  ASSERT_TRUE(BuildRegPath(HKEY_CURRENT_USER, "Setup\\Links", full, sizeof(full)));
  EXPECT_STREQ("Software\\Quabix\\Setup\\Links", full);
  ASSERT_TRUE(BuildRegPath(HKEY_CLASSES_ROOT, "\\Software\\Other", full, sizeof(full)));
  EXPECT_STREQ("\\Software\\Other", full);
  ASSERT_TRUE(BuildRegPath(HKEY_LOCAL_MACHINE, "Setup", full, sizeof(full)));
  EXPECT_STREQ("Setup", full);

  // Where the writes land.
  EXPECT_TRUE(SetAppDword((m_name + "\\Setup\\Links").c_str(), "Desktop", 1));
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, m_app + "\\Setup\\Links", "Desktop", 1));
  EXPECT_TRUE(SetRegDword(HKEY_CURRENT_USER, (m_abs + "\\Other").c_str(), "v", 2));
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, m_user + "\\Other", "v", 2));
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, std::string(kAppKey) + "\\Software"));
  EXPECT_TRUE(SetRegDword(HKEY_CLASSES_ROOT, m_name.c_str(), "v", 3));
  EXPECT_TRUE(scratch::HasDword(HKEY_CLASSES_ROOT, m_name, "v", 3));
}

TEST_F(Registry, PathsOf236CharactersWorkAndLongerOnesAreRefusedBeforeAnyRegistryCall)
{
  const std::string p236 = m_name + "\\" + std::string(236 - m_name.size() - 1, 'p');
  const std::string p237 = p236 + "q";
  ASSERT_EQ(236u, p236.size());
  EXPECT_TRUE(SetAppDword(p236.c_str(), "v", 7));
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, std::string(kAppKey) + "\\" + p236, "v", 7));
  EXPECT_EQ(7u, GetAppDword(p236.c_str(), "v", 0));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, p236.c_str()));

  // The key of the 237-character path exists, with a value, yet the layer
  // does not touch it.
  const std::string full237 = std::string(kAppKey) + "\\" + p237;
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, full237, "v", 8));
  EXPECT_FALSE(SetAppDword(p237.c_str(), "w", 1));
  EXPECT_FALSE(SetAppString(p237.c_str(), "s", "x"));
  EXPECT_FALSE(SetRegBinary(HKEY_CURRENT_USER, p237.c_str(), "b", "x", 1));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, scratch::Query(HKEY_CURRENT_USER, full237, "w").Status);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, scratch::Query(HKEY_CURRENT_USER, full237, "s").Status);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, scratch::Query(HKEY_CURRENT_USER, full237, "b").Status);
  EXPECT_EQ(9u, GetAppDword(p237.c_str(), "v", 9));
  char text[16];
  EXPECT_FALSE(GetAppString(p237.c_str(), "v", text, "def", sizeof(text)));
  EXPECT_STREQ("def", text);
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, p237.c_str()));
  DeleteRegValue(HKEY_CURRENT_USER, p237.c_str(), "v");
  DeleteRegKey(HKEY_CURRENT_USER, p237.c_str());
  DeleteAppTree(HKEY_CURRENT_USER, p237.c_str());
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, full237, "v", 8));
  EXPECT_EQ((Keys{p236.substr(m_name.size() + 1), p237.substr(m_name.size() + 1)}),
            scratch::Tree(HKEY_CURRENT_USER, m_app));

  // The limit holds under every root.
  const std::string classes237 = m_name + "\\" + std::string(237 - m_name.size() - 1, 'c');
  EXPECT_FALSE(SetRegString(HKEY_CLASSES_ROOT, classes237.c_str(), "", "x"));
  EXPECT_TRUE(KeyMissing(HKEY_CLASSES_ROOT, m_name));
}

TEST_F(Registry, WritesStoreTheTypeAndExactlyTheBytes)
{
  const std::string path = m_abs + "\\a\\b"; // missing levels are created
  EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, path.c_str(), "empty", ""));
  EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, path.c_str(), "text", "abc"));
  EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, path.c_str(), "", "default value"));
  EXPECT_TRUE(SetRegDword(HKEY_CURRENT_USER, path.c_str(), "number", 0x12345678));
  const char bytes[] = {1, 0, 2, 0, 3};
  EXPECT_TRUE(SetRegBinary(HKEY_CURRENT_USER, path.c_str(), "bytes", bytes, sizeof(bytes)));
  EXPECT_TRUE(SetRegBinary(HKEY_CURRENT_USER, path.c_str(), "none", bytes, 0));

  const std::string raw = m_user + "\\a\\b";
  scratch::RawValue v = scratch::Query(HKEY_CURRENT_USER, raw, "empty");
  EXPECT_EQ(REG_SZ, v.Type);
  EXPECT_EQ(std::string(1, '\0'), v.Data); // the terminator alone
  v = scratch::Query(HKEY_CURRENT_USER, raw, "text");
  EXPECT_EQ(REG_SZ, v.Type);
  EXPECT_EQ(std::string("abc", 4), v.Data);
  EXPECT_EQ(std::string("default value", 14), scratch::Query(HKEY_CURRENT_USER, raw, "").Data);
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, raw, "number", 0x12345678));
  v = scratch::Query(HKEY_CURRENT_USER, raw, "bytes");
  EXPECT_EQ(REG_BINARY, v.Type);
  EXPECT_EQ(std::string(bytes, sizeof(bytes)), v.Data);
  v = scratch::Query(HKEY_CURRENT_USER, raw, "none");
  EXPECT_EQ(REG_BINARY, v.Type);
  EXPECT_EQ("", v.Data);
}

TEST_F(Registry, AValueTheRegistryRefusesIsReportedAsNotWritten)
{
  // Value names are limited to 16383 characters; the key itself can be made.
  const std::string name(16384, 'n');
  EXPECT_FALSE(SetRegString(HKEY_CURRENT_USER, m_abs.c_str(), name.c_str(), "x"));
  EXPECT_FALSE(SetRegDword(HKEY_CURRENT_USER, m_abs.c_str(), name.c_str(), 1));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_user));
  EXPECT_TRUE(SetRegDword(HKEY_CURRENT_USER, m_abs.c_str(), name.c_str() + 1, 1));
}

TEST_F(Registry, GetRegStringReadsWhatFitsWithATerminatorAndOtherwiseTheDefault)
{
  ASSERT_TRUE(scratch::SetString(HKEY_CURRENT_USER, m_user, "s", "hello"));
  // Four bytes with no terminator, and a number: the type is not examined.
  ASSERT_TRUE(scratch::SetValue(HKEY_CURRENT_USER, m_user, "raw", REG_BINARY, "abcd", 4));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, m_user, "num", 0x00434241));
  const char *path = m_abs.c_str();
  char buf[16];

  EXPECT_TRUE(GetRegString(HKEY_CURRENT_USER, path, "s", buf, "def", sizeof(buf)));
  EXPECT_STREQ("hello", buf);
  EXPECT_TRUE(GetRegString(HKEY_CURRENT_USER, path, "s", buf, "def", 6)); // exactly fits
  EXPECT_STREQ("hello", buf);
  EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, path, "s", buf, "def", 5)); // longer than the buffer
  EXPECT_STREQ("def", buf);
  EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, path, "missing", buf, "def", sizeof(buf)));
  EXPECT_STREQ("def", buf);
  EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, (m_abs + "\\none").c_str(), "s", buf, "def", 16));
  EXPECT_STREQ("def", buf);
  // A default that does not fit is not cut short either.
  EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, path, "missing", buf, "long default", 5));
  EXPECT_STREQ("", buf);

  memset(buf, 'X', sizeof(buf));
  EXPECT_TRUE(GetRegString(HKEY_CURRENT_USER, path, "raw", buf, "def", 5));
  EXPECT_STREQ("abcd", buf); // terminated by hand
  memset(buf, 'X', sizeof(buf));
  EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, path, "raw", buf, "def", 4)); // no room for it
  EXPECT_STREQ("def", buf);
  EXPECT_TRUE(GetRegString(HKEY_CURRENT_USER, path, "num", buf, "def", sizeof(buf)));
  EXPECT_STREQ("ABC", buf);

  ASSERT_TRUE(scratch::SetString(HKEY_CURRENT_USER, m_app, "app", "under the app key"));
  char app[32];
  EXPECT_TRUE(GetAppString(m_name.c_str(), "app", app, "", sizeof(app)));
  EXPECT_STREQ("under the app key", app);
}

TEST_F(Registry, GetRegDwordTakesUpToFourBytesOfAnyType)
{
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, m_user, "dword", 0x12345678));
  ASSERT_TRUE(scratch::SetString(HKEY_CURRENT_USER, m_user, "sz3", "abc")); // 4 bytes
  ASSERT_TRUE(scratch::SetString(HKEY_CURRENT_USER, m_user, "sz2", "ab"));  // 3 bytes
  ASSERT_TRUE(scratch::SetString(HKEY_CURRENT_USER, m_user, "sz4", "abcd")); // 5 bytes
  ASSERT_TRUE(scratch::SetValue(HKEY_CURRENT_USER, m_user, "bin2", REG_BINARY, "\x34\x12", 2));
  ASSERT_TRUE(scratch::SetValue(HKEY_CURRENT_USER, m_user, "bin8", REG_BINARY, "12345678", 8));
  const char *path = m_abs.c_str();

  EXPECT_EQ(0x12345678u, GetRegDword(HKEY_CURRENT_USER, path, "dword", 5));
  EXPECT_EQ(0x00636261u, GetRegDword(HKEY_CURRENT_USER, path, "sz3", 5));
  EXPECT_EQ(0x00006261u, GetRegDword(HKEY_CURRENT_USER, path, "sz2", 5));
  EXPECT_EQ(0x1234u, GetRegDword(HKEY_CURRENT_USER, path, "bin2", 5)); // zeros above the bytes
  EXPECT_EQ(5u, GetRegDword(HKEY_CURRENT_USER, path, "sz4", 5));
  EXPECT_EQ(5u, GetRegDword(HKEY_CURRENT_USER, path, "bin8", 5));
  EXPECT_EQ(5u, GetRegDword(HKEY_CURRENT_USER, path, "missing", 5));

  DWORD value = 0;
  EXPECT_TRUE(GetRegDword(HKEY_CURRENT_USER, path, "dword", 5, &value));
  EXPECT_EQ(0x12345678u, value);
  EXPECT_FALSE(GetRegDword(HKEY_CURRENT_USER, path, "sz4", 5, &value));
  EXPECT_EQ(5u, value);

  EXPECT_EQ(1u, GetAppDword((m_name + "\\Setup\\.zip").c_str(), "Exist", 1));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, m_app + "\\Setup\\.zip", "Exist", 0));
  EXPECT_EQ(0u, GetAppDword((m_name + "\\Setup\\.zip").c_str(), "Exist", 1));
}

TEST_F(Registry, DeleteRegValueDeletesOneValueAndCreatesNoKey)
{
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, m_user, "a", 1));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, m_user, "b", 2));
  DeleteRegValue(HKEY_CURRENT_USER, m_abs.c_str(), "a");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, scratch::Query(HKEY_CURRENT_USER, m_user, "a").Status);
  EXPECT_TRUE(scratch::HasDword(HKEY_CURRENT_USER, m_user, "b", 2));
  DeleteRegValue(HKEY_CURRENT_USER, m_abs.c_str(), "a"); // already gone
  DeleteRegValue(HKEY_CURRENT_USER, (m_abs + "\\none").c_str(), "b");
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, m_user + "\\none"));
}

TEST_F(Registry, DeleteRegKeyDeletesOneKeyOnNtAndTheTreeOn9x)
{
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, m_user + "\\parent\\child"));
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, m_user + "\\leaf"));
  DeleteRegKey(HKEY_CURRENT_USER, (m_abs + "\\leaf").c_str());
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, m_user + "\\leaf"));
  DeleteRegKey(HKEY_CURRENT_USER, (m_abs + "\\parent").c_str());
  if (scratch::IsNtFamily())
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_user + "\\parent\\child"));
  else
    EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, m_user + "\\parent"));
}

// The subkeys of a root and everything below the first of them: what a
// deletion addressed at the root would take first.
Keys RootSample(HKEY root)
{
  HKEY key;
  Keys names;
  if (RegOpenKeyExA(root, NULL, 0, KEY_ENUMERATE_SUB_KEYS, &key) == ERROR_SUCCESS)
  {
    names = scratch::SubkeyNames(key);
    RegCloseKey(key);
  }
  if (!names.empty())
    for (const std::string &k : scratch::Tree(root, names[0]))
      names.push_back(names[0] + "\\" + k);
  return names;
}

TEST_F(Registry, DeletionsNeverAddressTheRootItself)
{
  // "\" under HKEY_CURRENT_USER and "" elsewhere name the root. On the 9x
  // family RegDeleteKeyA of the root would delete trees below it (this Wine
  // deletes the first one and then fails).
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, m_user));
  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, m_name));
  const Keys user = RootSample(HKEY_CURRENT_USER), classes = RootSample(HKEY_CLASSES_ROOT);
  ASSERT_GT(user.size(), 1u);
  ASSERT_GT(classes.size(), 1u);
  DeleteRegKey(HKEY_CURRENT_USER, "\\");
  DeleteRegKey(HKEY_CLASSES_ROOT, "");
  DeleteAppTree(HKEY_CURRENT_USER, "\\");
  EXPECT_EQ(1u, RegTreePassCount()); // one pass, which ends at once
  DeleteRegTree(HKEY_CLASSES_ROOT, "");
  EXPECT_EQ(1u, RegTreePassCount());
  DeleteRegTree(HKEY_CURRENT_USER, "\\");
  EXPECT_EQ(1u, RegTreePassCount());
  EXPECT_EQ(user, RootSample(HKEY_CURRENT_USER));
  EXPECT_EQ(classes, RootSample(HKEY_CLASSES_ROOT));
}

TEST_F(Registry, RegKeyExistsAsksForQueryingValues)
{
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, m_user + "\\open"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, (m_abs + "\\open").c_str()));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, (m_abs + "\\none").c_str()));
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, m_app, "v", 1));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, m_name.c_str()));
}

TEST_F(Registry, RegKeyExistsIsFalseForAKeyThatDeniesQueryingValues)
{
  if (!scratch::IsNtFamily())
    GTEST_SKIP() << "the 9x family has no key security";
  const std::string denied = m_user + "\\denied";
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, denied));
  ASSERT_TRUE(scratch::DenyAccess(HKEY_CURRENT_USER, denied, KEY_QUERY_VALUE));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, denied));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, (m_abs + "\\denied").c_str()));
  char buf[8];
  EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, (m_abs + "\\denied").c_str(), "", buf, "d", 8));
}

TEST_F(Registry, DeleteRegTreeRemovesDeepTreesWithManySiblings)
{
  struct Shape
  {
    int Levels, Siblings;
  } shapes[] = {{1, 8}, {2, 2}, {3, 3}, {4, 4}};
  for (const Shape &s : shapes)
  {
    const std::string top = m_user + "\\tree";
    ASSERT_TRUE(MakeTree(HKEY_CURRENT_USER, top, s.Levels, s.Siblings));
    DeleteRegTree(HKEY_CURRENT_USER, top.c_str());
    EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, top)) << s.Levels << "x" << s.Siblings;
    // On the 9x family the single RegDeleteKeyA does it all. Wine's emulation
    // of it stops at the second sibling (it returns 5 with only the first
    // subkey of each level gone), so there the passes finish the job.
    if (scratch::IsNtFamily())
      EXPECT_GT(RegTreePassCount(), 1u) << s.Levels << "x" << s.Siblings;
    printf("[ measured ] %d levels x %d siblings: %u passes\n", s.Levels, s.Siblings,
           RegTreePassCount());
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_user)); // the parent stays
}

TEST_F(Registry, DeleteRegTreeOn9xDeletesWithItsSingleCall)
{
  if (scratch::IsNtFamily())
    GTEST_SKIP() << "the NT family deletes trees in passes";
  // One subkey per level, which this Wine's 9x emulation deletes whole too.
  const std::string top = m_user + "\\tree";
  ASSERT_TRUE(scratch::SetDword(HKEY_CURRENT_USER, top + "\\a\\b\\c\\d", "v", 1));
  DeleteRegTree(HKEY_CURRENT_USER, top.c_str());
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, top));
  EXPECT_EQ(0u, RegTreePassCount());
}

TEST_F(Registry, DeleteRegTreeOfAMissingKeyRunsOnePass)
{
  DeleteRegTree(HKEY_CURRENT_USER, (m_user + "\\none").c_str());
  EXPECT_EQ(1u, RegTreePassCount());
}

TEST_F(Registry, DeleteRegTreeLeavesAKeyItCannotWalkWithItsAncestorsOnly)
{
  if (!scratch::IsNtFamily())
    GTEST_SKIP() << "the 9x family has no key security";
  // Denying DELETE is ignored by this registry (and deletion is tried only on
  // keys the walk can open): a key that cannot be opened for reading is one
  // that the walk cannot delete, on Windows as here.
  struct Case
  {
    const char *Denied;
    Keys Left;
  } cases[] = {
    {"k1\\k2\\k0", {"k1", "k1\\k2", "k1\\k2\\k0"}},
    {"k2\\k1", {"k2", "k2\\k1", "k2\\k1\\k0", "k2\\k1\\k1", "k2\\k1\\k2"}},
  };
  for (const Case &c : cases)
  {
    const std::string top = m_user + "\\tree";
    ASSERT_TRUE(MakeTree(HKEY_CURRENT_USER, top, 3, 3));
    ASSERT_TRUE(scratch::DenyAccess(HKEY_CURRENT_USER, top + "\\" + c.Denied,
                                    KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS));
    DeleteRegTree(HKEY_CURRENT_USER, top.c_str());
    scratch::AllowAll(HKEY_CURRENT_USER, top + "\\" + c.Denied); // to list what is below it
    EXPECT_EQ(c.Left, scratch::Tree(HKEY_CURRENT_USER, top)) << c.Denied;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, top)) << c.Denied;
    printf("[ measured ] %s denied: %u passes\n", c.Denied, RegTreePassCount());
    scratch::Remove(HKEY_CURRENT_USER, top);
  }
}

TEST_F(Registry, ASubkeyNameOf200CharactersEndsItsParentsEnumeration)
{
  const std::string name199(199, 'm'), name200(200, 'm');
  // First in enumeration order: nothing of its parent is reached.
  const std::string first = m_user + "\\first";
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, first + "\\" + name200));
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, first + "\\x"));
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, first + "\\y\\z"));
  // Behind others: those before it go, it and its parent stay.
  const std::string behind = m_user + "\\behind";
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, behind + "\\a"));
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, behind + "\\b\\c"));
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, behind + "\\" + name200 + "\\inside"));
  // 199 characters are no problem.
  const std::string fits = m_user + "\\fits";
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, fits + "\\" + name199 + "\\inside"));

  DeleteRegTree(HKEY_CURRENT_USER, m_user.c_str());
  if (!scratch::IsNtFamily())
  {
    EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, m_user)) << "RegDeleteKeyA deletes trees on 9x";
    return;
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_user));
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, fits));
  EXPECT_EQ((Keys{name200, "x", "y", "y\\z"}), scratch::Tree(HKEY_CURRENT_USER, first));
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, behind + "\\a"));
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, behind + "\\b"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, behind + "\\" + name200 + "\\inside"));
  printf("[ measured ] %u passes\n", RegTreePassCount());
}

TEST_F(Registry, KeysTooDeepToAddressStayWithTheirAncestors)
{
  // Three names of 190 characters: the third level's path is longer than the
  // walk's 512-character buffer, so the walk leaves it alone rather than cut
  // it short. (This Wine's RegOpenKeyExA already refuses paths of more than
  // 260 characters, so here the second level cannot be opened either; what
  // stays is the same.)
  const std::string a(190, 'a'), b(190, 'b'), c(190, 'c');
  const std::string top = m_user + "\\tree";
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, top + "\\" + a + "\\" + b + "\\" + c + "\\d"));
  ASSERT_TRUE(scratch::Create(HKEY_CURRENT_USER, top + "\\other\\y"));
  ASSERT_LT(top.size() + 1 + a.size() + 1 + b.size(), 512u);
  ASSERT_GT(top.size() + 1 + a.size() + 1 + b.size() + 1 + c.size(), 511u);
  HKEY key;
  const std::string second = top + "\\" + a + "\\" + b;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, second.c_str(), 0, KEY_READ, &key);
  if (rc == ERROR_SUCCESS)
    RegCloseKey(key);
  printf("[ measured ] RegOpenKeyExA of a %u-character path: %ld\n", (unsigned)second.size(),
         (long)rc);

  DeleteRegTree(HKEY_CURRENT_USER, top.c_str());
  if (!scratch::IsNtFamily())
  {
    EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, top)) << "RegDeleteKeyA deletes trees on 9x";
    return;
  }
  EXPECT_EQ((Keys{a, a + "\\" + b, a + "\\" + b + "\\" + c, a + "\\" + b + "\\" + c + "\\d"}),
            scratch::Tree(HKEY_CURRENT_USER, top));
}

TEST_F(Registry, DeleteAppTreeRemovesTreesBelowTheApplicationKeyAndOtherRoots)
{
  ASSERT_TRUE(SetAppDword((m_name + "\\a\\b").c_str(), "v", 1));
  ASSERT_TRUE(SetAppDword((m_name + "\\c").c_str(), "v", 1));
  DeleteAppTree(HKEY_CURRENT_USER, m_name.c_str());
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, m_app));

  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, m_name + "\\shell\\open\\command"));
  ASSERT_TRUE(scratch::Create(HKEY_CLASSES_ROOT, m_name + "\\DefaultIcon"));
  DeleteAppTree(HKEY_CLASSES_ROOT, m_name.c_str());
  EXPECT_TRUE(KeyMissing(HKEY_CLASSES_ROOT, m_name));

  // The empty path is the whole application key.
  ASSERT_TRUE(SetAppDword((m_name + "\\Setup\\Links").c_str(), "Desktop", 1));
  ASSERT_TRUE(SetAppDword("", "v", 1));
  DeleteAppTree(HKEY_CURRENT_USER, "");
  EXPECT_TRUE(KeyMissing(HKEY_CURRENT_USER, kAppKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(Registry, SetRegView64SendsKeyCreationToThe64BitViewOnly)
{
  if (sizeof(void *) == 8)
    GTEST_SKIP() << "a 64-bit build (the stand-in where 32-bit programs cannot run) has no own 32-bit view";
  const bool wow64 = scratch::IsWow64();
  printf("[ measured ] %s\n", wow64 ? "WOW64 process" : "no WOW64 (one registry view)");
  struct Split
  {
    HKEY Root;
    std::string Path;
  } splits[] = {
    {HKEY_LOCAL_MACHINE, "Software\\" + m_name}, // both split between the views
    {HKEY_CLASSES_ROOT, "CLSID\\" + m_name},
  };
  for (const Split &s : splits)
  {
    const char *path = s.Path.c_str();
    SetRegView64(true);
    ASSERT_TRUE(SetRegString(s.Root, path, "v", "64-bit view")) << path;
    char buf[32];
    const bool seenWhileOn = GetRegString(s.Root, path, "v", buf, "", sizeof(buf));
    SetRegView64(false);
    ASSERT_TRUE(SetRegString(s.Root, path, "w", "own view")) << path;
    const bool seenAfter = GetRegString(s.Root, path, "v", buf, "", sizeof(buf));
    scratch::RawValue v64 = scratch::Query(s.Root, s.Path, "v", KEY_WOW64_64KEY);
    scratch::RawValue w64 = scratch::Query(s.Root, s.Path, "w", KEY_WOW64_64KEY);
    scratch::RawValue w32 = scratch::Query(s.Root, s.Path, "w", KEY_WOW64_32KEY);
    EXPECT_EQ(ERROR_SUCCESS, v64.Status) << path;
    EXPECT_EQ(std::string("64-bit view", 12), v64.Data) << path;
    EXPECT_EQ(ERROR_SUCCESS, w32.Status) << path;
    if (wow64)
    {
      // Reads use the process's own view, also while the flag is on.
      EXPECT_FALSE(seenWhileOn) << path;
      EXPECT_FALSE(seenAfter) << path;
      EXPECT_EQ(ERROR_FILE_NOT_FOUND, scratch::Query(s.Root, s.Path, "v").Status) << path;
      EXPECT_EQ(ERROR_FILE_NOT_FOUND, w64.Status) << path; // off again: nothing more goes there
    }
    else
    {
      EXPECT_TRUE(seenWhileOn) << path;
      EXPECT_TRUE(seenAfter) << path;
      EXPECT_STREQ("64-bit view", buf) << path;
      EXPECT_EQ(ERROR_SUCCESS, w64.Status) << path; // one view: the same key
    }
  }
}

} // namespace
