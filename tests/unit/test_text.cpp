#include <gtest/gtest.h>
#include <string.h>

#include "util/text.h"

namespace {

TEST(Text, CopyAndAppendRefuseRatherThanCut)
{
  char buf[6];
  EXPECT_TRUE(CopyText(buf, sizeof(buf), "abcde"));
  EXPECT_STREQ("abcde", buf);
  EXPECT_FALSE(CopyText(buf, sizeof(buf), "abcdef"));
  EXPECT_STREQ("", buf);
  EXPECT_TRUE(CopyText(buf, sizeof(buf), "ab"));
  EXPECT_FALSE(AppendText(buf, sizeof(buf), "cdef"));
  EXPECT_STREQ("ab", buf);
  EXPECT_TRUE(AppendText(buf, sizeof(buf), "cde"));
  EXPECT_STREQ("abcde", buf);
}

TEST(Text, FormatTextOfTheProgramsFormats)
{
  char buf[64];
  EXPECT_TRUE(FormatText(buf, sizeof(buf), "%s.%d.tmp", "C:\\a b\\f", 12));
  EXPECT_STREQ("C:\\a b\\f.12.tmp", buf);
  EXPECT_TRUE(FormatText(buf, sizeof(buf), ".q%02d", 7));
  EXPECT_STREQ(".q07", buf);
  EXPECT_TRUE(FormatText(buf, sizeof(buf), ".q%02d", 99));
  EXPECT_STREQ(".q99", buf);
  EXPECT_TRUE(FormatText(buf, sizeof(buf), "\"%s\" \"%%1\"", "C:\\Q.exe"));
  EXPECT_STREQ("\"C:\\Q.exe\" \"%1\"", buf);
  EXPECT_TRUE(FormatText(buf, sizeof(buf), "%d|%d", -5, 0));
  EXPECT_STREQ("-5|0", buf);
}

TEST(Text, FormatTextReportsTruncationWithAnEmptyResult)
{
  char buf[8];
  EXPECT_TRUE(FormatText(buf, sizeof(buf), "%s", "1234567"));
  EXPECT_FALSE(FormatText(buf, sizeof(buf), "%s", "12345678"));
  EXPECT_STREQ("", buf);
  EXPECT_FALSE(FormatText(buf, sizeof(buf), "%s.%d.tmp", "abc", 100));
  EXPECT_STREQ("", buf);
}

TEST(Text, FormatWithTextTakesOnlyTheFirstPercentS)
{
  char buf[64];
  EXPECT_TRUE(FormatWithText(buf, sizeof(buf), "Cannot open list file %s", "Uninstall.lst"));
  EXPECT_STREQ("Cannot open list file Uninstall.lst", buf);
  // A hostile translation: nothing beyond the one argument is read.
  EXPECT_TRUE(FormatWithText(buf, sizeof(buf), "%s %s %d %n %x 100%%", "A"));
  EXPECT_STREQ("A %s %d %n %x 100%", buf);
  EXPECT_TRUE(FormatWithText(buf, sizeof(buf), "trailing %", "A"));
  EXPECT_STREQ("trailing %", buf);
  EXPECT_FALSE(FormatWithText(buf, 8, "%s", "12345678"));
  EXPECT_STREQ("", buf);
}

TEST(Text, TrimLineEnd)
{
  char a[] = "  name \t\r\n";
  EXPECT_STREQ("  name", TrimLineEnd(a));
  char b[] = " \t\r\n \n";
  EXPECT_STREQ("", TrimLineEnd(b));
  char c[] = "";
  EXPECT_STREQ("", TrimLineEnd(c));
  char d[] = "x\ty";
  EXPECT_STREQ("x\ty", TrimLineEnd(d));
}

TEST(Text, StartsWithNoCase)
{
  EXPECT_TRUE(StartsWithNoCase("SETUPx", "setup"));
  EXPECT_TRUE(StartsWithNoCase("Wait", "wait"));
  EXPECT_FALSE(StartsWithNoCase("set", "setup"));
  EXPECT_FALSE(StartsWithNoCase("", "s"));
  EXPECT_TRUE(StartsWithNoCase("anything", ""));
}

} // namespace
