#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "dbcs_fixture.h"
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

std::string Batch(const char *exe, const char *folder, const char *bat, bool nt, bool silent = false)
{
  static char buf[64 * 1024];
  int len = ComposeSelfRemovalBatch(buf, sizeof(buf), exe, folder, bat, nt, silent);
  EXPECT_GE(len, 0);
  return len < 0 ? std::string() : std::string(buf, len);
}

void ExpectBatchLines(const std::vector<std::string> &lines, const std::string &first, const std::string &exe,
                      const std::string &folder, const std::string &bat, const std::string &warning = "/warning")
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
  EXPECT_EQ("if exist \"" + exe + "\" \"" + exe + "\" " + warning, lines[17]);
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

TEST(SelfRemovalBatch, ASilentRunPassesSilentOnToTheWarningBeforeIt)
{
  // The warning switch acts as it is read: "/s" must come first.
  for (bool nt : {true, false})
  {
    std::string text = Batch(kExe, kFolder, kBat, nt, true);
    ExpectBatchLines(SplitCrLf(text), SplitCrLf(Batch(kExe, kFolder, kBat, nt))[0], kExe, kFolder, kBat,
                     "/s /warning");
  }
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
  std::string text = Batch(exe.c_str(), exe.c_str(), exe.c_str(), false, true);
  EXPECT_EQ(19u, SplitCrLf(text).size());
  char small[200];
  EXPECT_EQ(-1, ComposeSelfRemovalBatch(small, sizeof(small), kExe, kFolder, kBat, true, false));
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

TEST(InterpreterCommand, NtQuotesBothAndTurnsAutoRunAndDelayedExpansionOff)
{
  char out[128];
  // "&" and a blank with parentheses: cmd would drop a lone pair of quotes.
  // "!" would be eaten where the registry turns delayed expansion on.
  ASSERT_TRUE(ComposeInterpreterCommand(out, sizeof(out), "C:\\Windows\\system32\\cmd.exe",
                                        "C:\\R&D (x)!\\Temp\\Uninstall_Qbx.Bat", 6));
  EXPECT_STREQ("\"C:\\Windows\\system32\\cmd.exe\" /v:off /d /c \"\"C:\\R&D (x)!\\Temp\\Uninstall_Qbx.Bat\"\"",
               out);
  ASSERT_TRUE(ComposeInterpreterCommand(out, sizeof(out), "C:\\WINNT\\system32\\cmd.exe", "C:\\T\\u.bat", 5));
  EXPECT_STREQ("\"C:\\WINNT\\system32\\cmd.exe\" /v:off /d /c \"\"C:\\T\\u.bat\"\"", out);
  // NT 4's cmd has no delayed expansion and no switch for it.
  ASSERT_TRUE(ComposeInterpreterCommand(out, sizeof(out), "C:\\WINNT\\system32\\cmd.exe", "C:\\T\\u.bat", 4));
  EXPECT_STREQ("\"C:\\WINNT\\system32\\cmd.exe\" /d /c \"\"C:\\T\\u.bat\"\"", out);
  ASSERT_TRUE(ComposeInterpreterCommand(out, sizeof(out), "C:\\WINDOWS\\COMMAND.COM",
                                        "C:\\WINDOWS\\TEMP\\UNINST~1.BAT", 0));
  EXPECT_STREQ("C:\\WINDOWS\\COMMAND.COM /c C:\\WINDOWS\\TEMP\\UNINST~1.BAT", out);
}

TEST(InterpreterCommand, RefusesWhatCannotBeStartedRight)
{
  char out[64];
  struct Case
  {
    const char *Comspec, *Bat;
    unsigned NtMajor;
  } cases[] = {
      {"", "C:\\T\\u.bat", 6},          // COMSPEC not set
      {"C:\\cmd\".exe", "C:\\T\\u.bat", 6}, // a quote would end the quoted name
      {"C:\\cmd.exe", "", 6},
      {"C:\\COMMAND.COM", "C:\\MY TEMP\\U.BAT", 0}, // command.com splits at blanks
      {"C:\\MY DOS\\COMMAND.COM", "C:\\T\\U.BAT", 0},
      {"C:\\COMMAND.COM", "C:\\T\tX\\U.BAT", 0},
      {"C:\\cmd.exe", "C:\\a-path-that-does-not-fit-in-64-bytes\\Uninstall_Qbx.Bat", 4},
      {"C:\\cmd.exe", "C:\\T\\fits-only-without-v-off\\u.bat", 6}, // 64 bytes with /v:off
  };
  for (const Case &c : cases)
  {
    EXPECT_FALSE(ComposeInterpreterCommand(out, sizeof(out), c.Comspec, c.Bat, c.NtMajor)) << c.Comspec << " " << c.Bat;
    EXPECT_STREQ("", out);
  }
  EXPECT_TRUE(ComposeInterpreterCommand(out, sizeof(out), "C:\\cmd.exe", "C:\\T\\fits-only-without-v-off\\u.bat", 4));
}

std::vector<std::string> Folders(const RestartFolders &folders)
{
  std::vector<std::string> list;
  for (const char *f = NULL; (f = NextRestartFolder(folders, f)) != NULL;)
    list.push_back(f);
  return list;
}

using Strings = std::vector<std::string>;

TEST(RestartFolders, DeepestFirstEachOnceAndTheInstallFolderLast)
{
  static RestartFolders folders;
  InitRestartFolders(folders);
  EXPECT_TRUE(Folders(folders).empty());
  const char install[] = "C:\\Program Files\\Quabix\\";
  EXPECT_TRUE(AddRestartFolders(folders, install, "C:\\Program Files\\Quabix\\qbxext.dll"));
  EXPECT_EQ((Strings{"C:\\Program Files\\Quabix"}), Folders(folders));
  EXPECT_TRUE(AddRestartFolders(folders, install, "C:\\Program Files\\Quabix\\Sub\\Deep\\b.dll"));
  EXPECT_TRUE(AddRestartFolders(folders, install, "C:\\Program Files\\Quabix\\Other\\c.dll"));
  // Doubled separators, "." and "/" name the same folders.
  EXPECT_TRUE(AddRestartFolders(folders, install, "C:\\Program Files\\Quabix\\Sub\\\\.\\Deep/d.dll"));
  EXPECT_EQ((Strings{"C:\\Program Files\\Quabix\\Sub\\Deep", "C:\\Program Files\\Quabix\\Sub",
                     "C:\\Program Files\\Quabix\\Other", "C:\\Program Files\\Quabix"}),
            Folders(folders));
}

TEST(RestartFolders, RefusesWhatIsNotInsideOrDoesNotFit)
{
  static RestartFolders folders;
  InitRestartFolders(folders);
  EXPECT_FALSE(AddRestartFolders(folders, "C:\\Q\\", "C:\\Qx\\a.dll"));
  EXPECT_FALSE(AddRestartFolders(folders, "C:\\Q\\", "C:\\Q\\a\\..\\..\\b.dll"));
  EXPECT_FALSE(AddRestartFolders(folders, "C:\\", "C:\\a.dll")); // never a drive root
  EXPECT_FALSE(AddRestartFolders(folders, "C:\\Q", "C:\\Q\\a.dll"));
  EXPECT_TRUE(Folders(folders).empty());
  // Fill the buffer with long folder names: the one that does not fit is
  // left out whole, and every one kept is a whole folder of a path given.
  std::string install = "C:\\Q\\";
  std::vector<std::string> given;
  bool refused = false;
  for (int i = 0; i < 20 && !refused; i++)
  {
    std::string folder = install + std::string(900, (char)('a' + i));
    given.push_back(folder);
    refused = !AddRestartFolders(folders, install.c_str(), (folder + "\\f.dll").c_str());
  }
  ASSERT_TRUE(refused);
  Strings kept = Folders(folders);
  EXPECT_EQ(given.size(), kept.size()); // all but the refused one, and the install folder
  EXPECT_EQ("C:\\Q", kept.back());
  for (size_t i = 0; i + 1 < kept.size(); i++)
    EXPECT_EQ(given[i], kept[i]);
}

using RestartFoldersDbcs = Cp932Table;

TEST_F(RestartFoldersDbcs, ATrailByteBackslashIsNoSeparator)
{
  static RestartFolders folders;
  InitRestartFolders(folders);
  // 0x81 0x5C is one character, so "\x81\\" is the folder's whole name.
  EXPECT_TRUE(AddRestartFolders(folders, "C:\\Q\\", "C:\\Q\\\x81\\\\f.dll"));
  EXPECT_EQ((Strings{"C:\\Q\\\x81\\", "C:\\Q"}), Folders(folders));
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

// A file system in memory that can run out of space or refuse a move.
struct FakeDisk
{
  std::map<std::string, std::string> Files;
  size_t Room = std::string::npos; // bytes a write can still put down
  int FailingMove = -1;            // the move (counted from 0) that fails
  int Moves = 0;
};

bool FakeWrite(void *c, const char *path, const char *data, size_t length)
{
  FakeDisk *d = static_cast<FakeDisk *>(c);
  size_t n = std::min(length, d->Room);
  d->Files[path] = std::string(data, n); // a short write leaves what fit
  return n == length;
}

bool FakeMove(void *c, const char *from, const char *to)
{
  FakeDisk *d = static_cast<FakeDisk *>(c);
  if (d->Moves++ == d->FailingMove || !d->Files.count(from) || d->Files.count(to))
    return false;
  d->Files[to] = d->Files[from];
  d->Files.erase(from);
  return true;
}

bool FakeRemove(void *c, const char *path)
{
  static_cast<FakeDisk *>(c)->Files.erase(path);
  return true;
}

bool FakeExists(void *c, const char *path) { return static_cast<FakeDisk *>(c)->Files.count(path) > 0; }

const char kIni[] = "C:\\WINDOWS\\wininit.ini";
const char kNew[] = "C:\\WINDOWS\\wininit.qbn";
const char kOld[] = "C:\\WINDOWS\\wininit.qbo";
const char kPending[] = "[rename]\r\nNUL=C:\\OTHER\\OLD.DLL\r\n";

bool Replace(FakeDisk &disk, const std::string &text)
{
  FileOps ops = {FakeWrite, FakeMove, FakeRemove, FakeExists, &disk};
  return ReplaceWholeFile(ops, kIni, kNew, kOld, text.data(), text.size());
}

using Files = std::map<std::string, std::string>;

TEST(WininitWrite, TheNewTextReplacesTheFileAndNoSideFileStays)
{
  FakeDisk disk;
  disk.Files[kIni] = kPending;
  disk.Files[kNew] = "left over";
  EXPECT_TRUE(Replace(disk, std::string(kPending) + "NUL=C:\\Q\\A.DLL\r\n"));
  EXPECT_EQ((Files{{kIni, std::string(kPending) + "NUL=C:\\Q\\A.DLL\r\n"}}), disk.Files);
  FakeDisk empty;
  EXPECT_TRUE(Replace(empty, "[Rename]\r\nNUL=C:\\A\r\n"));
  EXPECT_EQ((Files{{kIni, "[Rename]\r\nNUL=C:\\A\r\n"}}), empty.Files);
}

TEST(WininitWrite, AFullDiskOrAFailedMoveKeepsOtherProgramsRenames)
{
  std::string text = std::string(kPending) + "NUL=C:\\Q\\A.DLL\r\n";
  for (int moves = 0; moves < 2; moves++)
  {
    FakeDisk disk;
    disk.Files[kIni] = kPending;
    disk.FailingMove = moves; // the move aside fails, or the move into place
    EXPECT_FALSE(Replace(disk, text)) << moves;
    EXPECT_EQ((Files{{kIni, kPending}}), disk.Files) << moves;
  }
  FakeDisk full;
  full.Files[kIni] = kPending;
  full.Room = 10;
  EXPECT_FALSE(Replace(full, text));
  EXPECT_EQ((Files{{kIni, kPending}}), full.Files);
}

TEST(WininitWrite, AFileLeftAsideIsPutBackBeforeItIsRead)
{
  FileOps ops = {FakeWrite, FakeMove, FakeRemove, FakeExists, NULL};
  FakeDisk stopped; // between the two moves
  stopped.Files[kOld] = kPending;
  stopped.Files[kNew] = "new";
  ops.Context = &stopped;
  EXPECT_TRUE(RecoverSetAsideFile(ops, kIni, kOld));
  EXPECT_EQ(kPending, stopped.Files[kIni]);
  EXPECT_EQ(0u, stopped.Files.count(kOld));
  FakeDisk stuck = stopped;
  stuck.Files.erase(kIni);
  stuck.Files[kOld] = kPending;
  stuck.Moves = 0;
  stuck.FailingMove = 0;
  ops.Context = &stuck;
  EXPECT_FALSE(RecoverSetAsideFile(ops, kIni, kOld));
  FakeDisk current; // the file in place: the aside copy is an old one
  current.Files[kIni] = "now";
  current.Files[kOld] = "then";
  ops.Context = &current;
  EXPECT_TRUE(RecoverSetAsideFile(ops, kIni, kOld));
  EXPECT_EQ("now", current.Files[kIni]);
}

} // namespace
