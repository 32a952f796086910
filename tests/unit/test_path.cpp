#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "dbcs_fixture.h"
#include "util/path.h"

namespace {

struct PathExample
{
  const char *Path;
  const char *Name;
  const char *Stripped;
  const char *Appended;
};

const PathExample kExamples[] = {
  {"C:\\dir\\file.txt", "file.txt", "C:\\dir", "C:\\dir\\file.txt\\"},
  {"C:\\file.txt", "file.txt", "C:\\", "C:\\file.txt\\"},
  {"C:\\", "", "C:\\", "C:\\"},
  {"C:", "", "C:", "C:\\"},
  {"C:file", "file", "C:", "C:file\\"},
  {"\\file", "file", "\\", "\\file\\"},
  {"dir/file", "file", "dir", "dir/file\\"},
  {"dir\\", "", "dir", "dir\\"},
  {"dir/", "", "dir", "dir/\\"},
  {"file", "file", "", "file\\"},
  {"", "", "", ""},
};

class PathExamples : public SingleByteTable, public ::testing::WithParamInterface<PathExample>
{
};

TEST_P(PathExamples, FileNameStripAndAppend)
{
  const PathExample &e = GetParam();
  char buf[64];
  strcpy(buf, e.Path);
  EXPECT_STREQ(e.Name, FileNamePart(buf));
  EXPECT_GE(FileNamePart(buf), buf);
  StripFileName(buf);
  EXPECT_STREQ(e.Stripped, buf);
  strcpy(buf, e.Path);
  EXPECT_TRUE(AppendBackslash(buf, sizeof(buf)));
  EXPECT_STREQ(e.Appended, buf);
}

INSTANTIATE_TEST_SUITE_P(Table, PathExamples, ::testing::ValuesIn(kExamples));

using PathSingleByte = SingleByteTable;

TEST_F(PathSingleByte, HighBytesAreSingleCharacters)
{
  // 0x83 0x5C is one character only in a double-byte code page.
  char buf[16] = "ab\x83\\c";
  EXPECT_STREQ("c", FileNamePart(buf));
  char tail[16] = "ab\x83\\";
  EXPECT_EQ(tail + 3, LastCharPos(tail));
  EXPECT_TRUE(AppendBackslash(tail, sizeof(tail)));
  EXPECT_STREQ("ab\x83\\", tail); // already ends in a backslash
}

using PathDbcs = Cp932Table;

TEST_F(PathDbcs, TrailByteBackslashIsNoSeparator)
{
  // U+30BD (katakana SO) is 0x83 0x5C in code page 932.
  char path[32] = "C:\\a\\\x83\\";
  EXPECT_STREQ("\x83\\", FileNamePart(path));
  EXPECT_EQ(path + 5, LastCharPos(path));
  EXPECT_TRUE(AppendBackslash(path, sizeof(path)));
  EXPECT_STREQ("C:\\a\\\x83\\\\", path);
  StripFileName(path);
  EXPECT_STREQ("C:\\a\\\x83\\", path);
  StripFileName(path);
  EXPECT_STREQ("C:\\a", path);
}

TEST_F(PathDbcs, LeadByteBeforeTerminatorStopsTheScan)
{
  char s[4] = {'a', '\x83', 0, 'x'};
  const char *p = NextCharPos(s + 1);
  EXPECT_EQ(s + 2, p);
  EXPECT_EQ(s + 1, LastCharPos(s));
  EXPECT_STREQ("a\x83", FileNamePart(s));
}

TEST_F(PathDbcs, DriveColonAfterLeadByteIsNotADrive)
{
  // 0x81 0x3A is one character; the colon is its trail byte.
  char s[8] = "\x81:x";
  EXPECT_EQ(s, FileNamePart(s));
  char d[8] = "C:x";
  EXPECT_STREQ("x", FileNamePart(d));
}

TEST(Path, AppendBackslashRefusesAFullBuffer)
{
  char buf[4] = "abc";
  EXPECT_FALSE(AppendBackslash(buf, sizeof(buf)));
  EXPECT_STREQ("abc", buf);
  char fits[5] = "abc";
  EXPECT_TRUE(AppendBackslash(fits, sizeof(fits)));
  EXPECT_STREQ("abc\\", fits);
}

TEST(Path, ReplaceFileNameKeepsTheFolderOrRefuses)
{
  char buf[32] = "C:\\Quabix\\uninstall.exe";
  EXPECT_TRUE(ReplaceFileName(buf, sizeof(buf), "Quabix.exe"));
  EXPECT_STREQ("C:\\Quabix\\Quabix.exe", buf);
  char small[16] = "C:\\Q\\u.exe";
  EXPECT_FALSE(ReplaceFileName(small, sizeof(small), "a-long-name.dll"));
  EXPECT_STREQ("C:\\Q\\u.exe", small);
}

TEST_F(PathDbcs, CopyWholeCharsCutsOnACharacterBoundary)
{
  char out[4];
  EXPECT_FALSE(CopyWholeChars(out, sizeof(out), "ab\x83\x5C"));
  EXPECT_STREQ("ab", out); // the double-byte character does not fit whole
  EXPECT_TRUE(CopyWholeChars(out, sizeof(out), "a\x83\x5C"));
  EXPECT_STREQ("a\x83\x5C", out);
}

} // namespace
