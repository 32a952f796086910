#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "dbcs_fixture.h"
#include "uninstall/outcome.h"
#include "uninstall/uninstall_list.h"

namespace {

// A byte source that hands out at most Chunk bytes per read, and fails
// once it has handed out FailAt bytes.
struct MemorySource
{
  std::string Data;
  size_t Pos = 0;
  int Chunk = 1 << 20;
  size_t FailAt = std::string::npos;
};

int ReadMemory(void *context, char *buffer, int count)
{
  MemorySource *m = static_cast<MemorySource *>(context);
  if (m->Pos >= m->FailAt)
    return -1;
  if (m->FailAt != std::string::npos)
    count = (int)std::min<size_t>(count, m->FailAt - m->Pos);
  int n = (int)std::min<size_t>(std::min(count, m->Chunk), m->Data.size() - m->Pos);
  memcpy(buffer, m->Data.data() + m->Pos, n);
  m->Pos += n;
  return n;
}

std::vector<std::string> ReadAll(MemorySource &m, int lineSize = kListLineSize)
{
  ListReader reader;
  InitListReader(reader, ReadMemory, &m);
  std::vector<std::string> lines;
  std::vector<char> line(lineSize);
  while (ReadListLine(reader, line.data(), lineSize))
    lines.push_back(line.data());
  return lines;
}

TEST(UninstallList, LinesKeepTheirLineFeedLikeFgets)
{
  MemorySource m;
  m.Data = "a.txt\r\nsub\\b.txt\n\n  lead\nlast";
  m.Chunk = 3; // lines cross reads of the source
  std::vector<std::string> lines = ReadAll(m);
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ("a.txt\r\n", lines[0]);
  EXPECT_EQ("sub\\b.txt\n", lines[1]);
  EXPECT_EQ("\n", lines[2]);
  EXPECT_EQ("  lead\n", lines[3]);
  EXPECT_EQ("last", lines[4]);
}

TEST(UninstallList, LongLinesAreSplitAt2047Bytes)
{
  MemorySource m;
  m.Data = std::string(2047, 'a') + std::string(10, 'b') + "\nc\n";
  std::vector<std::string> lines = ReadAll(m);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(std::string(2047, 'a'), lines[0]);
  EXPECT_EQ(std::string(10, 'b') + "\n", lines[1]);
  EXPECT_EQ("c\n", lines[2]);
}

// Entries as the driver gets them: "" for a blank line, "!" for a refused
// one, "?" for a read failure, which ends the pass.
std::vector<std::string> ReadEntries(MemorySource &m)
{
  ListReader reader;
  InitListReader(reader, ReadMemory, &m);
  std::vector<std::string> entries;
  char line[kListLineSize];
  ListEntryKind kind;
  while ((kind = ReadListEntry(reader, line, sizeof(line))) != ListEnd)
  {
    entries.push_back(kind == ListRefused ? "!" : kind == ListFailed ? "?" : line);
    if (kind == ListFailed)
    {
      // It stays failed until the reader is rewound.
      EXPECT_EQ(ListFailed, ReadListEntry(reader, line, sizeof(line)));
      EXPECT_STREQ("", line);
      break;
    }
  }
  return entries;
}

TEST(UninstallList, EntriesAreTrimmedLinesAndOverlongLinesAreRefusedWhole)
{
  MemorySource m;
  // Cut at 2047 bytes, the rest of the first line would be "keep.txt".
  m.Data = std::string(2047, 'x') + "keep.txt\r\n" + " a.txt \t\r\n\r\n" + std::string(2046, 'y') + "\n" +
           std::string(3000, 'z') + "\r\n" + std::string(2047, 'w');
  m.Chunk = 1000;
  std::vector<std::string> entries = ReadEntries(m);
  ASSERT_EQ(6u, entries.size());
  EXPECT_EQ("!", entries[0]);
  EXPECT_EQ(" a.txt", entries[1]);
  EXPECT_EQ("", entries[2]);
  EXPECT_EQ(std::string(2046, 'y'), entries[3]); // 2047 bytes with its line feed: whole
  EXPECT_EQ("!", entries[4]);
  EXPECT_EQ(std::string(2047, 'w'), entries[5]); // the last line, whole at the end of the list
}

TEST(UninstallList, LinesWithNulBytesAreRefused)
{
  MemorySource m;
  m.Data = std::string("keep.txt\0.bak\r\nnext.txt\n\0\nlast", 30);
  std::vector<std::string> entries = ReadEntries(m);
  ASSERT_EQ(4u, entries.size());
  EXPECT_EQ("!", entries[0]);
  EXPECT_EQ("next.txt", entries[1]);
  EXPECT_EQ("!", entries[2]);
  EXPECT_EQ("last", entries[3]);
}

TEST(UninstallList, EmptyAndFailingSourcesEndAtOnce)
{
  MemorySource m;
  EXPECT_TRUE(ReadAll(m).empty());
  ListReader reader;
  InitListReader(reader, [](void *, char *, int) { return -1; }, nullptr);
  char line[16];
  EXPECT_FALSE(ReadListLine(reader, line, sizeof(line)));
  EXPECT_FALSE(ReadListLine(reader, line, sizeof(line)));
}

TEST(UninstallList, AReadFailureDropsTheLineItCutAndEndsThePass)
{
  using Entries = std::vector<std::string>;
  MemorySource m;
  // Cut after "settings.ini.", the line would name "settings.ini" to Windows.
  m.Data = "a.txt\r\nsettings.ini.bak\r\nlast.txt\r\n";
  m.FailAt = m.Data.find(".bak");
  m.Chunk = 4;
  EXPECT_EQ((Entries{"a.txt", "?"}), ReadEntries(m));
  // Right after a whole line: that line still counts.
  m.Pos = 0;
  m.FailAt = m.Data.find("last");
  EXPECT_EQ((Entries{"a.txt", "settings.ini.bak", "?"}), ReadEntries(m));
  // While looking past a full line buffer, whose line may go on.
  m.Data = std::string(2047, 'x') + "\n";
  m.Pos = 0;
  m.FailAt = 2047;
  EXPECT_EQ((Entries{"?"}), ReadEntries(m));
  // Inside an overlong line that is refused anyway.
  m.Data = std::string(3000, 'x') + "\n";
  m.Pos = 0;
  m.FailAt = 2500;
  EXPECT_EQ((Entries{"?"}), ReadEntries(m));
}

TEST(UninstallList, RewindReadsFromTheStartAgain)
{
  MemorySource m;
  m.Data = "one\ntwo\n";
  ListReader reader;
  InitListReader(reader, ReadMemory, &m);
  char line[16];
  ASSERT_TRUE(ReadListLine(reader, line, sizeof(line)));
  EXPECT_STREQ("one\n", line);
  m.Pos = 0; // the caller seeks the file back
  RewindListReader(reader);
  ASSERT_TRUE(ReadListLine(reader, line, sizeof(line)));
  EXPECT_STREQ("one\n", line);
  // After a failure too ("two" is buffered already).
  m.FailAt = m.Pos;
  EXPECT_EQ(ListEntry, ReadListEntry(reader, line, sizeof(line)));
  EXPECT_EQ(ListFailed, ReadListEntry(reader, line, sizeof(line)));
  m.Pos = 0;
  m.FailAt = std::string::npos;
  RewindListReader(reader);
  EXPECT_EQ(ListEntry, ReadListEntry(reader, line, sizeof(line)));
  EXPECT_STREQ("one", line);
}

TEST(UninstallList, EntriesThatReachOutsideTheFolderAreRefused)
{
  for (const char *bad : {"..", "..\\x", "a\\..\\..\\b", "a/../b", "a\\..", ".. \\x", "...\\x", ". .\\x",
                          "a\\.. .\\b"})
    EXPECT_FALSE(IsEntryInsideFolder(bad)) << bad;
  for (const char *good : {"file.txt", "a\\b\\c", ".hidden", "a.\\b", "..name", "name..", "a\\.\\b", " lead",
                           "x..y\\z"})
    EXPECT_TRUE(IsEntryInsideFolder(good)) << good;
}

using UninstallListDbcs = Cp932Table;

TEST_F(UninstallListDbcs, TrailByteBackslashDoesNotSplitAComponent)
{
  // In code page 932 0x81 0x5C is one character, so "\x81\\.." is one
  // ordinary name, not a folder followed by "..".
  EXPECT_TRUE(IsEntryInsideFolder("\x81\\.."));
  EXPECT_FALSE(IsEntryInsideFolder("\x81\\\\..")); // a real separator after it
}

TEST(UninstallList, JoinRefusesPathsThatDoNotFit)
{
  char path[16];
  EXPECT_TRUE(JoinListPath(path, sizeof(path), "C:\\Q\\", "file.txt"));
  EXPECT_STREQ("C:\\Q\\file.txt", path);
  EXPECT_TRUE(JoinListPath(path, sizeof(path), "C:\\Q\\", "0123456789"));
  EXPECT_FALSE(JoinListPath(path, sizeof(path), "C:\\Q\\", "0123456789a"));
}

TEST(UninstallList, LineStatesAreKeptTwoBitsALineAndStartOpen)
{
  LineStates states;
  EXPECT_EQ(LineOpen, GetLineState(states, 0));
  EXPECT_EQ(LineOpen, GetLineState(states, -1));
  EXPECT_FALSE(SetLineState(states, -1, LineDone));
  const int lines = 10001;
  for (int i = 0; i < lines; i++)
    ASSERT_TRUE(SetLineState(states, i, (LineState)(i % 3)));
  // Neighbours in one byte keep their own states when one is changed.
  ASSERT_TRUE(SetLineState(states, 5, LineDone));
  ASSERT_TRUE(SetLineState(states, 6, LineOpen));
  for (int i = 0; i < lines; i++)
  {
    LineState expected = i == 5 ? LineDone : i == 6 ? LineOpen : (LineState)(i % 3);
    ASSERT_EQ(expected, GetLineState(states, i)) << i;
  }
  EXPECT_EQ(LineOpen, GetLineState(states, lines));
  EXPECT_EQ(LineOpen, GetLineState(states, 1 << 30));
  EXPECT_LE(states.Bytes.Count(), (lines + 3) / 4);
  // A line far ahead: the lines between are open.
  ASSERT_TRUE(SetLineState(states, 20000, LineFolder));
  EXPECT_EQ(LineOpen, GetLineState(states, 19999));
  EXPECT_EQ(LineFolder, GetLineState(states, 20000));
}

TEST(UninstallOutcome, SuccessOnlyWhereTheJobIsDoneOrTheRestartDoesIt)
{
  struct Case
  {
    UninstallOutcome Outcome;
    int Code;
  } cases[] = {
      {{false, false, false}, 0},
      {{false, true, false}, 3010},
      // A restart does not remove a file that was never scheduled.
      {{false, true, true}, 1603},
      {{false, false, true}, 1603},
      // Entries of an unread part of the list may still be there.
      {{true, false, false}, 1603},
      {{true, true, false}, 1603},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.Code, UninstallExitCode(c.Outcome))
      << c.Outcome.ListIncomplete << c.Outcome.Scheduled << c.Outcome.LeftBehind;
}

} // namespace
