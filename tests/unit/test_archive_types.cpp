// The archive type table and the SetupOptions record that is indexed by it.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "integration/archive_types.h"
#include "integration/setup_options.h"

namespace {

std::vector<std::string> SplitExtensions(const char *list)
{
  std::vector<std::string> exts;
  for (const char *p = list; *p;)
  {
    const char *next = strchr(p + 1, '.');
    size_t len = next ? (size_t)(next - p) : strlen(p);
    exts.push_back(std::string(p, len));
    p += len;
  }
  return exts;
}

TEST(ArchiveTypes, RowsMatchTheDialogAndTheirExtensionLists)
{
  std::set<std::string> seen;
  size_t total = 0;
  for (int row = 0; row < kArchiveTypeCount; row++)
  {
    const ArchiveType &t = g_ArchiveTypes[row];
    EXPECT_EQ(5101 + row, t.Control) << row;
    ASSERT_EQ('.', t.Extensions[0]) << row;
    std::vector<std::string> exts = SplitExtensions(t.Extensions);
    EXPECT_EQ(t.PrimaryExt, exts[0]) << row; // the primary extension comes first
    for (const std::string &e : exts)
    {
      EXPECT_GT(e.size(), 1u) << row;
      EXPECT_TRUE(seen.insert(e).second) << e << " appears twice";
    }
    total += exts.size();
    EXPECT_STREQ(row == kZipRow ? "Quabix.ZIP" : "Quabix", t.DocType) << row;
  }
  EXPECT_EQ(22u, total);
  EXPECT_STREQ(".qbx", g_ArchiveTypes[kQbxRow].PrimaryExt);
  EXPECT_STREQ(".jar", g_ArchiveTypes[kJarRow].PrimaryExt);
  EXPECT_STREQ(".iso", g_ArchiveTypes[kIsoRow].PrimaryExt);
  EXPECT_EQ((std::vector<std::string>{".bz2", ".tbz2", ".bz", ".tbz"}),
            SplitExtensions(g_ArchiveTypes[10].Extensions));
  EXPECT_EQ((std::vector<std::string>{".uue", ".xxe", ".uu"}),
            SplitExtensions(g_ArchiveTypes[9].Extensions));
}

TEST(SetupOptionsRecord, OneByteFlagsInTheirOrder)
{
  EXPECT_EQ(20u, sizeof(SetupOptions));
  EXPECT_EQ(0u, offsetof(SetupOptions, Associations));
  EXPECT_EQ(14u, offsetof(SetupOptions, Desktop));
  EXPECT_EQ(15u, offsetof(SetupOptions, StartMenu));
  EXPECT_EQ(16u, offsetof(SetupOptions, Programs));
  EXPECT_EQ(17u, offsetof(SetupOptions, ShellExt));
  EXPECT_EQ(18u, offsetof(SetupOptions, CascadedMenu));
  EXPECT_EQ(19u, offsetof(SetupOptions, MenuIcons));
}

} // namespace
