// Path scanning with a real double-byte ANSI code page: this program runs
// under Wine with the Japanese locale, so the system reports code page 932.
#include <windows.h>

#include <gtest/gtest.h>
#include <string.h>

#include "uninstall/uninstall_list.h"
#include "util/path.h"
#include "util/platform.h"

namespace {

class RealCp932 : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_EQ(932u, GetACP()) << "run with LANG=ja_JP.UTF-8 and the locale generated";
    m_saved = g_DbcsTable;
    FillDbcsTable(g_DbcsTable);
  }
  void TearDown() override { g_DbcsTable = m_saved; }

private:
  DbcsTable m_saved;
};

TEST_F(RealCp932, TableHasTheLeadBytesOfShiftJis)
{
  EXPECT_EQ(1, g_DbcsTable.MultiByte);
  EXPECT_EQ(1, g_DbcsTable.LeadByte[0x81]);
  EXPECT_EQ(1, g_DbcsTable.LeadByte[0x9F]);
  EXPECT_EQ(1, g_DbcsTable.LeadByte[0xE0]);
  EXPECT_EQ(0, g_DbcsTable.LeadByte[0x5C]);
  EXPECT_EQ(0, g_DbcsTable.LeadByte['A']);
  EXPECT_EQ(0, g_DbcsTable.LeadByte[0xA1]); // half-width katakana: one byte
}

TEST_F(RealCp932, TrailByteBackslashIsPartOfTheCharacter)
{
  // "\x83\x5C" is katakana SO; its second byte has the value of a backslash.
  char path[kPathSize] = "C:\\Quabix\\\x83\x5C";
  EXPECT_STREQ("\x83\x5C", FileNamePart(path));
  EXPECT_TRUE(AppendBackslash(path, sizeof(path)));
  EXPECT_STREQ("C:\\Quabix\\\x83\x5C\\", path);
  char name[kPathSize] = "C:\\Quabix\\\x83\x5C";
  StripFileName(name);
  EXPECT_STREQ("C:\\Quabix", name);
  // The same scan the system does: CharPrevA agrees on the last character.
  char tail[kPathSize] = "ab\x83\x5C";
  EXPECT_EQ(CharPrevA(tail, tail + strlen(tail)), LastCharPos(tail));
}

TEST_F(RealCp932, ListEntriesWithTrailBytesAreNames)
{
  EXPECT_TRUE(IsEntryInsideFolder("\x83\x5C.."));
  EXPECT_FALSE(IsEntryInsideFolder("\x83\x5C\\.."));
}

TEST_F(RealCp932, CompareTextNoCaseWorksOnDoubleByteNames)
{
  EXPECT_EQ(0, CompareTextNoCase("\x83\x5C" "abc", "\x83\x5C" "ABC"));
  EXPECT_NE(0, CompareTextNoCase("\x83\x5C", "\x83\x5D"));
}

} // namespace
