// Composition of registry key paths: the application-key rule and the limits.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "registry/reg_path.h"

namespace {

struct PathCase
{
  bool AppKeyRule;
  const char *Path;
  const char *Full;
};

TEST(RegistryPath, ApplicationKeyRuleAndOtherRoots)
{
  const PathCase cases[] = {
    {true, "Setup\\Links", "Software\\Quabix\\Setup\\Links"},
    {true, "Setup", "Software\\Quabix\\Setup"},
    {true, "", "Software\\Quabix"},
    {true, "\\Software\\Other", "Software\\Other"},
    {true, "\\", ""}, // absolute path of the root itself
    {false, "\\Software\\Other", "\\Software\\Other"},
    {false, ".zip\\ShellNew", ".zip\\ShellNew"},
    {false, "", ""},
  };
  for (const PathCase &c : cases)
  {
    char full[kRegPathSize] = "x";
    EXPECT_TRUE(ComposeRegPath(c.AppKeyRule, c.Path, full, sizeof(full))) << c.Path;
    EXPECT_STREQ(c.Full, full) << c.Path;
  }
}

TEST(RegistryPath, At236CharactersTheLongestPathBuildsAnd237IsRefused)
{
  const std::string fits(236, 'k'), tooLong(237, 'k');
  char full[kRegPathSize];
  ASSERT_TRUE(ComposeRegPath(true, fits.c_str(), full, sizeof(full)));
  EXPECT_EQ("Software\\Quabix\\" + fits, full); // 252 characters, still fits
  ASSERT_TRUE(ComposeRegPath(false, fits.c_str(), full, sizeof(full)));
  EXPECT_EQ(fits, full);
  ASSERT_TRUE(ComposeRegPath(true, ("\\" + fits.substr(1)).c_str(), full, sizeof(full)));
  EXPECT_EQ(fits.substr(1), full);

  for (bool rule : {true, false})
  {
    strcpy(full, "previous");
    EXPECT_FALSE(ComposeRegPath(rule, tooLong.c_str(), full, sizeof(full)));
    EXPECT_STREQ("", full);
    EXPECT_FALSE(ComposeRegPath(rule, ("\\" + fits).c_str(), full, sizeof(full)));
    EXPECT_STREQ("", full);
  }
}

TEST(RegistryPath, TheLimitFollowsTheBufferSize)
{
  char full[32];
  // size 32 leaves 12 characters; "Software\Quabix\" + 12 = 28 fits.
  EXPECT_TRUE(ComposeRegPath(true, "abcdefghijkl", full, sizeof(full)));
  EXPECT_STREQ("Software\\Quabix\\abcdefghijkl", full);
  EXPECT_FALSE(ComposeRegPath(true, "abcdefghijklm", full, sizeof(full)));
  EXPECT_STREQ("", full);
  // A buffer no bigger than the reserve takes nothing, not even "".
  EXPECT_FALSE(ComposeRegPath(false, "", full, 20));
  EXPECT_FALSE(ComposeRegPath(false, "", full, 0));
}

TEST(RegistryPath, SubkeyPathsThatDoNotFitAreRefusedNotCut)
{
  char sub[kRegSubkeyPathSize];
  const std::string parent(300, 'p'), fits(210, 'n'), tooLong(211, 'n');
  ASSERT_TRUE(ComposeSubkeyPath(parent.c_str(), fits.c_str(), sub, sizeof(sub)));
  EXPECT_EQ(511u, strlen(sub));
  EXPECT_EQ(parent + "\\" + fits, sub);
  EXPECT_FALSE(ComposeSubkeyPath(parent.c_str(), tooLong.c_str(), sub, sizeof(sub)));
  EXPECT_STREQ("", sub);
}

TEST(RegistryPath, RootPathsAreTheEmptyPathAndBackslashesAlone)
{
  EXPECT_TRUE(IsRootRegPath(""));
  EXPECT_TRUE(IsRootRegPath("\\"));
  EXPECT_TRUE(IsRootRegPath("\\\\\\"));
  EXPECT_FALSE(IsRootRegPath("a"));
  EXPECT_FALSE(IsRootRegPath("\\a"));
  EXPECT_FALSE(IsRootRegPath("Software\\Quabix"));
}

} // namespace
