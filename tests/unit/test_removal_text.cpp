#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "uninstall/removal_text.h"

namespace {

std::vector<std::string> SplitCrLf(const std::string &text)
{
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;)
  {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos)
    {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
}

std::string Batch(const char *exe, const char *folder, const char *bat, bool nt)
{
  static char buf[64 * 1024];
  int len = ComposeSelfRemovalBatch(buf, sizeof(buf), exe, folder, bat, nt);
  EXPECT_GE(len, 0);
  return len < 0 ? std::string() : std::string(buf, len);
}

void ExpectBatchLines(const std::vector<std::string> &lines, const std::string &first, const std::string &exe,
                      const std::string &folder, const std::string &bat)
{
  ASSERT_EQ(19u, lines.size());
  EXPECT_EQ(first, lines[0]);
  for (int i = 0; i < 5; i++)
  {
    EXPECT_EQ("del \"" + exe + "\"", lines[1 + 3 * i]);
    EXPECT_EQ("rd \"" + folder + "\"", lines[2 + 3 * i]);
    EXPECT_EQ("if not exist \"" + exe + "\" goto done", lines[3 + 3 * i]);
  }
  EXPECT_EQ(":done", lines[16]);
  EXPECT_EQ("if exist \"" + exe + "\" \"" + exe + "\" /warning", lines[17]);
  EXPECT_EQ("del \"" + bat + "\"", lines[18]);
}

const char kExe[] = "C:\\Program Files\\Quabix\\uninstall.exe";
const char kFolder[] = "C:\\Program Files\\Quabix";
const char kBat[] = "C:\\users\\me\\Temp\\Uninstall_Qbx.Bat";

TEST(SelfRemovalBatch, NtFamilyHas19LinesAndNoFinalLineBreak)
{
  std::string text = Batch(kExe, kFolder, kBat, true);
  EXPECT_NE("\r\n", text.substr(text.size() - 2));
  ExpectBatchLines(SplitCrLf(text), std::string("\"") + kExe + "\" /wait", kExe, kFolder, kBat);
  EXPECT_EQ(std::string::npos, text.find('\n', text.rfind("\r\n") + 2));
}

TEST(SelfRemovalBatch, NineXFamilyStartsAndWaits)
{
  std::string text = Batch(kExe, kFolder, kBat, false);
  ExpectBatchLines(SplitCrLf(text), std::string("start /wait \"") + kExe + "\" /wait", kExe, kFolder, kBat);
}

TEST(SelfRemovalBatch, PercentSignsAreDoubled)
{
  std::string text = Batch("C:\\100%\\%TEMP%\\u.exe", "C:\\100%\\%TEMP%", "C:\\t%\\x.bat", true);
  ExpectBatchLines(SplitCrLf(text), "\"C:\\100%%\\%%TEMP%%\\u.exe\" /wait", "C:\\100%%\\%%TEMP%%\\u.exe",
                   "C:\\100%%\\%%TEMP%%", "C:\\t%%\\x.bat");
}

TEST(SelfRemovalBatch, TheLongestPathsFitAndASmallBufferIsRefused)
{
  std::string exe(1023, '%');
  std::string text = Batch(exe.c_str(), exe.c_str(), exe.c_str(), false);
  EXPECT_EQ(19u, SplitCrLf(text).size());
  char small[200];
  EXPECT_EQ(-1, ComposeSelfRemovalBatch(small, sizeof(small), kExe, kFolder, kBat, true));
}

TEST(SelfRemovalBatch, EscapeRefusesWhatDoesNotFit)
{
  char out[6];
  EXPECT_TRUE(EscapeBatchPath(out, sizeof(out), "a%b"));
  EXPECT_STREQ("a%%b", out);
  EXPECT_FALSE(EscapeBatchPath(out, sizeof(out), "abc%d"));
  EXPECT_STREQ("", out);
}

TEST(TempName, IndexAndBounds)
{
  char out[32];
  EXPECT_TRUE(FormatTempName(out, sizeof(out), "C:\\Q\\a.dll", 0));
  EXPECT_STREQ("C:\\Q\\a.dll.0.tmp", out);
  EXPECT_TRUE(FormatTempName(out, sizeof(out), "C:\\Q\\a.dll", 999));
  EXPECT_STREQ("C:\\Q\\a.dll.999.tmp", out);
  std::string path(25, 'x');
  EXPECT_TRUE(FormatTempName(out, sizeof(out), path.c_str(), 1));   // 31 bytes and the NUL
  EXPECT_FALSE(FormatTempName(out, sizeof(out), path.c_str(), 10)); // 32 bytes do not fit
}

std::string AddRename(const std::string &text, const char *path)
{
  std::vector<char> out(text.size() + strlen(path) + 32);
  int len = AddWininitRename(out.data(), out.size(), text.data(), text.size(), path);
  EXPECT_GE(len, 0);
  return len < 0 ? std::string() : std::string(out.data(), len);
}

TEST(WininitRename, EveryDeferredFileKeepsItsOwnLine)
{
  std::string text = AddRename("", "C:\\QUABIX~1\\A.DLL");
  EXPECT_EQ("[Rename]\r\nNUL=C:\\QUABIX~1\\A.DLL\r\n", text);
  text = AddRename(text, "C:\\QUABIX~1\\B.DLL");
  EXPECT_EQ("[Rename]\r\nNUL=C:\\QUABIX~1\\A.DLL\r\nNUL=C:\\QUABIX~1\\B.DLL\r\n", text);
}

TEST(WininitRename, OtherSectionsAndLinesStay)
{
  std::string before = "[Other]\r\nx=1\r\n[rename]\r\nC:\\NEW.TXT=C:\\OLD.TXT\r\n[Last]\r\ny=2";
  EXPECT_EQ("[Other]\r\nx=1\r\n[rename]\r\nC:\\NEW.TXT=C:\\OLD.TXT\r\nNUL=C:\\F\r\n[Last]\r\ny=2",
            AddRename(before, "C:\\F"));
  // No section yet, and a last line without its line break.
  EXPECT_EQ("[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\F\r\n", AddRename("[Other]\r\nx=1", "C:\\F"));
  // The section is the last one and has no line break at its end.
  EXPECT_EQ("[Rename]\nNUL=C:\\A\r\nNUL=C:\\F\r\n", AddRename("[Rename]\nNUL=C:\\A", "C:\\F"));
}

TEST(WininitRename, RefusesASmallBuffer)
{
  char out[16];
  EXPECT_EQ(-1, AddWininitRename(out, sizeof(out), "", 0, "C:\\A\\LONG.DLL"));
}

} // namespace
