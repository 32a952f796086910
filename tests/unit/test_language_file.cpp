// The language file loader and lookup, over bytes in memory.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbcs_fixture.h"
#include "lang/array.h"
#include "lang/language_file.h"
#include "reference_crc32.h"

namespace {

const std::string kMarkerLine = "***messages***\r\n";

// A file in memory; records the reads and can fail on request.
struct MemoryFile
{
  std::string Data;
  long long Pos = 0;
  std::vector<int> Requests; // the count of every read
  int FailRead = -1;         // index of the read that fails
  bool FailTell = false;
  bool FailSeek = false;
};

int ReadMemory(void *context, char *buffer, int count)
{
  MemoryFile *f = static_cast<MemoryFile *>(context);
  f->Requests.push_back(count);
  if ((int)f->Requests.size() - 1 == f->FailRead)
    return -1;
  long long left = (long long)f->Data.size() - f->Pos;
  int n = (int)std::max(0LL, std::min<long long>(count, left));
  memcpy(buffer, f->Data.data() + f->Pos, n);
  f->Pos += n;
  return n;
}

long long TellMemory(void *context)
{
  MemoryFile *f = static_cast<MemoryFile *>(context);
  return f->FailTell ? -1 : f->Pos;
}

bool SeekMemory(void *context, long long position)
{
  MemoryFile *f = static_cast<MemoryFile *>(context);
  if (f->FailSeek)
    return false;
  f->Pos = position;
  return true;
}

LanguageSource SourceOf(MemoryFile &f) { return LanguageSource{ReadMemory, TellMemory, SeekMemory, &f}; }

long long MarkerIn(const std::string &data)
{
  MemoryFile f;
  f.Data = data;
  return FindMessageMarker(SourceOf(f));
}

// Key line for class byte, context and English text, made with the
// independent CRC of the tests.
std::string Entry(const std::string &classContextText, const std::string &translation)
{
  return ReferenceKey(classContextText) + "=\"" + translation + "\"";
}

class Language : public ::testing::Test
{
protected:
  LanguageLoad Load(const std::string &data)
  {
    m_file = MemoryFile();
    m_file.Data = data;
    return m_res.LoadMessages(SourceOf(m_file));
  }
  // Loads the marker line and the given lines.
  void LoadLines(const std::string &lines) { ASSERT_EQ(LanguageLoaded, Load(kMarkerLine + lines)); }

  std::string String(const char *english, size_t size = kStringTextSize)
  {
    std::vector<char> dest(size + 8, '#');
    m_res.LookupText(dest.data(), size, english, nullptr, 's');
    EXPECT_EQ('#', dest[size]) << "written beyond the destination";
    return dest.data();
  }
  std::string Dialog(const char *context, const char *text)
  {
    char dest[kWindowTextSize];
    m_res.LookupText(dest, sizeof(dest), text, context, '$');
    return dest;
  }

  LanguageResources m_res;
  MemoryFile m_file;
};

TEST(LanguageMarker, KeyValuesOfTheExampleFile)
{
  char key[9];
  MakeTextKey(key, 's', nullptr, "Uninstall completed");
  EXPECT_STREQ("29b544f7", key);
  MakeTextKey(key, '$', "SETUPDLG", "Help");
  EXPECT_STREQ("e6a9b8d7", key);
  MakeTextKey(key, '$', "SETUPDLG", "");
  EXPECT_STREQ("9b889d24", key);
  MakeTextKey(key, '$', "LTR", "LTR");
  EXPECT_STREQ("50a17ae8", key);
  MakeTextKey(key, 'a', "b", "c"); // the parts are joined without separators
  EXPECT_STREQ("352441c2", key);
}

TEST(LanguageMarker, NeedsSixteenBytesFromItsFirstAsterisk)
{
  EXPECT_EQ(-1, MarkerIn("***messages***\n"));   // 15 bytes
  EXPECT_EQ(0, MarkerIn("***messages***\r\n"));  // 16 bytes
  EXPECT_EQ(0, MarkerIn("***messages**xyz"));    // two asterisks, then "*messages**"
  EXPECT_EQ(1, MarkerIn("****messages***\r\n"));
  EXPECT_EQ(-1, MarkerIn("**messages***\r\n\r\n\r\n"));
  EXPECT_EQ(-1, MarkerIn("***Messages***\r\n"));
  EXPECT_EQ(-1, MarkerIn(std::string(100, 'x') + "***messages**" + "12")); // 15 bytes left
  EXPECT_EQ(100, MarkerIn(std::string(100, 'x') + "***messages**" + "123"));
  EXPECT_EQ(-1, MarkerIn(""));
}

TEST(LanguageMarker, FoundAcrossEveryBlockBoundary)
{
  // Blocks start at multiples of 8176 and are 8192 bytes long.
  for (long long boundary : {8176LL, 8192LL, 2 * 8176LL, 63 * 8176LL})
    for (long long pos = boundary - 20; pos <= boundary + 20; pos++)
    {
      std::string data(pos, '*'); // asterisks everywhere make near misses
      data += kMarkerLine + std::string(40, 'y');
      ASSERT_EQ(pos, MarkerIn(data)) << pos;
    }
}

TEST(LanguageMarker, SearchedUpTo523264WithBoundedReads)
{
  std::string tail = kMarkerLine + Entry("sYes", "Ja") + "\r\n";
  MemoryFile at;
  at.Data = std::string(523264, 'x') + tail;
  EXPECT_EQ(523264, FindMessageMarker(SourceOf(at)));
  EXPECT_EQ(64u, at.Requests.size());
  for (int count : at.Requests)
    EXPECT_EQ(8192, count);
  MemoryFile beyond;
  beyond.Data = std::string(523265, 'x') + tail;
  EXPECT_EQ(-1, FindMessageMarker(SourceOf(beyond)));
  EXPECT_EQ(64u, beyond.Requests.size());
}

TEST(LanguageMarker, FailuresOfTheSourceFindNothing)
{
  MemoryFile f;
  f.Data = std::string(9000, 'x') + kMarkerLine;
  f.FailTell = true;
  EXPECT_EQ(-1, FindMessageMarker(SourceOf(f)));
  f = MemoryFile();
  f.Data = std::string(9000, 'x') + kMarkerLine;
  f.FailSeek = true;
  EXPECT_EQ(-1, FindMessageMarker(SourceOf(f)));
  f = MemoryFile();
  f.Data = std::string(9000, 'x') + kMarkerLine;
  f.FailRead = 1;
  EXPECT_EQ(-1, FindMessageMarker(SourceOf(f)));
}

TEST_F(Language, MarkerOnlyFiles)
{
  EXPECT_EQ(LanguageNotLoaded, Load("***messages***\n"));
  EXPECT_FALSE(m_res.IsLoaded());
  EXPECT_EQ(LanguageLoaded, Load("***messages***\r\n"));
  EXPECT_TRUE(m_res.IsLoaded());
  EXPECT_EQ(0, m_res.MessageTable().Count());
  EXPECT_EQ("Uninstall Quabix", String("Uninstall Quabix"));
}

TEST_F(Language, WithoutAFileEveryTextStaysByteForByte)
{
  EXPECT_FALSE(m_res.IsLoaded());
  const char *texts[] = {"Uninstall Quabix", "", "\xe4\xf6\xfc \x81\x5c %s \"q\"", "&Help"};
  for (const char *t : texts)
  {
    EXPECT_EQ(t, String(t));
    EXPECT_EQ(t, Dialog("SETUPDLG", t));
    char same[64];
    strcpy(same, t);
    EXPECT_FALSE(m_res.LookupText(same, sizeof(same), same, nullptr, 's')); // in place
    EXPECT_STREQ(t, same);
  }
  EXPECT_EQ(LanguageNotLoaded, Load("no marker in here at all, just text\r\n"));
  EXPECT_EQ("Uninstall Quabix", String("Uninstall Quabix"));
}

TEST_F(Language, TranslatesByClassContextAndText)
{
  LoadLines("comment line\r\n" + Entry("sUninstall completed", "Deinstallation abgeschlossen") + "\r\n" +
            Entry("$SETUPDLGHelp", "Hilfe") + "\r\n" + Entry("$SETUPDLG&Help", "&Hilfe") + "\r\n" +
            Entry("$DONEDLGHelp", "Hilfe (fertig)") + "\r\n");
  EXPECT_EQ("Deinstallation abgeschlossen", String("Uninstall completed"));
  EXPECT_EQ("Hilfe", Dialog("SETUPDLG", "Help"));
  EXPECT_EQ("&Hilfe", Dialog("SETUPDLG", "&Help"));
  EXPECT_EQ("Hilfe (fertig)", Dialog("DONEDLG", "Help"));
  EXPECT_EQ("Help", Dialog("CONTEXTITEMS", "Help"));
  EXPECT_EQ("Help", String("Help")); // class "s" is another key
  char in[kStringTextSize] = "Uninstall completed";
  EXPECT_TRUE(m_res.LookupText(in, sizeof(in), in, nullptr, 's'));
  EXPECT_STREQ("Deinstallation abgeschlossen", in);
}

TEST_F(Language, LookupByKeyNeedsAllEightDigits)
{
  LoadLines(Entry("sYes", "Ja") + "\r\n" + "abc=\"short\"\r\n");
  char dest[16] = "untouched";
  EXPECT_TRUE(m_res.LookupKey(dest, sizeof(dest), ReferenceKey("sYes").c_str()));
  EXPECT_STREQ("Ja", dest);
  strcpy(dest, "untouched");
  EXPECT_FALSE(m_res.LookupKey(dest, sizeof(dest), "abc"));
  EXPECT_FALSE(m_res.LookupKey(dest, sizeof(dest), ""));
  EXPECT_STREQ("untouched", dest);
}

TEST_F(Language, KeysMustStandInColumnOneInLowerCase)
{
  std::string key = ReferenceKey("sYes");
  std::string upper = key;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  ASSERT_NE(key, upper); // the key has letters
  LoadLines(upper + "=\"upper\"\r\n" + " " + key + "=\"blank\"\r\n\t" + key + "=\"tab\"\r\n" + key +
            " =\"space\"\r\n" + key + "=\'single\'\r\n");
  EXPECT_EQ("Yes", String("Yes"));
}

TEST_F(Language, LineSeparatorsAndEmptyLines)
{
  LoadLines("\n\n\r\r" + Entry("sA", "1") + "\n" + Entry("sB", "2") + "\r" + Entry("sC", "3") + "\n\r" +
            Entry("sD", "4") + "\f" + Entry("sE", "5") + "\r\n\r\n\r\n" + Entry("sF", "6"));
  EXPECT_EQ("1", String("A"));
  EXPECT_EQ("2", String("B"));
  EXPECT_EQ("3", String("C"));
  EXPECT_EQ("4", String("D"));
  EXPECT_EQ("5", String("E"));
  EXPECT_EQ("6", String("F")); // the last line, without a line break
  EXPECT_EQ(6, m_res.MessageTable().Count());
}

TEST_F(Language, Escapes)
{
  LoadLines(Entry("sA", "say \\\"hi\\\"") + "\r\n" + Entry("sB", "back\\\\slash") + "\r\n" +
            Entry("sC", "two\\nlines\\r\\tend") + "\r\n" + Entry("sD", "keep \\q and \\x") + "\r\n" +
            Entry("sE", "trailing \\") + "\r\n" + Entry("sF", "x") + "\\\r\n" + Entry("sG", "G"));
  EXPECT_EQ("say \"hi\"", String("A"));
  EXPECT_EQ("back\\slash", String("B"));
  EXPECT_EQ("two\nlines\r\tend", String("C"));
  EXPECT_EQ("keep \\q and \\x", String("D"));
  // A backslash before the closing quote escapes it: the quote stays inside
  // the line, and the translation ends at the last quote, which is that one.
  EXPECT_EQ("trailing ", String("E"));
  EXPECT_EQ("x", String("F")); // backslash before a line break: both kept
  EXPECT_EQ("G", String("G"));
}

TEST_F(Language, ABackslashAtTheVeryEndOfTheBlockStaysAlone)
{
  LoadLines(Entry("sA", "a") + "\r\n" + ReferenceKey("sB") + "=\"b\\");
  EXPECT_EQ("a", String("A"));
  EXPECT_EQ("b\\", String("B")); // no closing quote: up to the end
  EXPECT_EQ('\\', m_res.Text()[m_res.TextLength() - 1]);
  EXPECT_EQ(0, m_res.Text()[m_res.TextLength()]);
}

TEST_F(Language, QuotesInsideAndAfterTheTranslation)
{
  LoadLines(Entry("sA", "He said \"no\" twice") + "  ; comment\r\n" + ReferenceKey("sB") +
            "=\"no closing quote\r\n" + ReferenceKey("sC") + "=\"\"\r\n" + ReferenceKey("sD") +
            "=\"a\" b \"c\" d\r\n" + ReferenceKey("sE") + "=\"last, unclosed");
  EXPECT_EQ("He said \"no\" twice", String("A"));
  EXPECT_EQ("no closing quote", String("B"));
  EXPECT_EQ("", String("C")); // an empty translation is a translation
  EXPECT_EQ("a\" b \"c", String("D"));
  EXPECT_EQ("last, unclosed", String("E"));
}

TEST_F(Language, DuplicateKeysGiveOneOfTheirTranslations)
{
  std::string lines;
  for (int i = 0; i < 5; i++)
    lines += Entry("sDup", "v" + std::to_string(i)) + "\r\n" + Entry("sOther" + std::to_string(i), "o") + "\r\n";
  LoadLines(lines);
  std::string got = String("Dup");
  EXPECT_TRUE(got == "v0" || got == "v1" || got == "v2" || got == "v3" || got == "v4") << got;
}

TEST_F(Language, ALineWithTheKeyButNoEntryFormIsNotAHit)
{
  std::string key = ReferenceKey("sYes");
  // Sorted first and last around the entry, so the binary search meets them.
  LoadLines(key + " is the key of Yes\r\n" + key + "\r\n" + key + "=\"Ja\"\r\n" + key + "==\"x\"\r\n");
  EXPECT_EQ("Ja", String("Yes"));
  LoadLines(key + " is the key of Yes\r\n" + key + "==\"x\"\r\n");
  EXPECT_EQ("Yes", String("Yes"));
}

TEST_F(Language, EntriesBeyond65536BytesAndAfterANulAreIgnored)
{
  std::string inside = Entry("sIn", "in") + "\r\n";
  std::string filler = "; " + std::string(200, '-') + "\r\n";
  std::string block = kMarkerLine + inside;
  while (block.size() + filler.size() < 65536 - 10)
    block += filler;
  // The last entry starts 13 bytes before the end of the block: its key,
  // "=", the opening quote and three bytes of its translation are inside.
  block += std::string(65536 - 15 - block.size(), ';') + "\r\n";
  block += Entry("sCut", "cut here");
  std::string data = std::string(1000, 'x') + block + "\r\n" + Entry("sBeyond", "beyond") + "\r\n";
  EXPECT_EQ(LanguageLoaded, Load(data));
  EXPECT_EQ(65536, m_res.TextLength());
  EXPECT_EQ("in", String("In"));
  EXPECT_EQ("Beyond", String("Beyond"));
  EXPECT_EQ("cut", String("Cut"));
  EXPECT_EQ(65536, m_file.Requests.back()); // one read of the block

  LoadLines(Entry("sA", "a") + "\r\n" + std::string("\0", 1) + Entry("sB", "b") + "\r\n");
  EXPECT_EQ("a", String("A"));
  EXPECT_EQ("B", String("B"));
  LoadLines(Entry("sA", std::string("a\0b", 3)) + "\r\n");
  EXPECT_EQ("a", String("A")); // cut at the NUL, with no closing quote
}

TEST_F(Language, AFailedBlockReadCountsAsLoadedAndEmpty)
{
  m_file = MemoryFile();
  m_file.Data = kMarkerLine + Entry("sYes", "Ja") + "\r\n";
  m_file.FailRead = 1; // the search read succeeds, the block read fails
  EXPECT_EQ(LanguageLoaded, m_res.LoadMessages(SourceOf(m_file)));
  EXPECT_TRUE(m_res.IsLoaded());
  EXPECT_EQ(0, m_res.TextLength());
  EXPECT_EQ("Yes", String("Yes"));
}

TEST_F(Language, MessageTableIndexesLineStartsSortedByTheirFirstEightBytes)
{
  LoadLines("zzzzzzzz=\"z\"\r\naaaaaaaa=\"a\"\r\n\r\nmmmmmmmmm\fbbbbbbbb=\"b\"\r\n12345678");
  const Array<int> &table = m_res.MessageTable();
  const char *text = m_res.Text();
  std::vector<std::string> starts;
  for (int i = 0; i < table.Count(); i++)
  {
    ASSERT_EQ('\f', text[table[i] - 1]);
    starts.push_back(std::string(text + table[i], 8));
  }
  // The last line starts within the last 8 bytes: not indexed.
  EXPECT_EQ((std::vector<std::string>{"aaaaaaaa", "bbbbbbbb", "mmmmmmmm", "zzzzzzzz"}), starts);
}

TEST_F(Language, HostileFileOfTinyLinesLoadsAndStaysSorted)
{
  std::string data = kMarkerLine;
  for (int i = 0; data.size() < 70000; i++)
    data += std::string(1, (char)('a' + i * 7 % 26)) + "\n";
  LoadLines(data.substr(kMarkerLine.size()));
  const Array<int> &table = m_res.MessageTable();
  EXPECT_GT(table.Count(), 30000);
  for (int i = 1; i < table.Count(); i++)
    ASSERT_LE(strncmp(m_res.Text() + table[i - 1], m_res.Text() + table[i], 8), 0) << i;
  EXPECT_EQ("Yes", String("Yes"));
}

TEST_F(Language, ALongTranslationIsCutToTheDestination)
{
  std::string longText(700, 'L');
  LoadLines(Entry("sLong", longText) + "\r\n" + Entry("sLast", std::string(300, 'E') + "!"));
  EXPECT_EQ(std::string(511, 'L'), String("Long"));
  EXPECT_EQ(std::string(9, 'L'), String("Long", 10));
  EXPECT_EQ("", String("Long", 1));
  char dest[4] = "abc";
  EXPECT_FALSE(m_res.LookupText(dest, 0, "Long", nullptr, 's')); // nothing written
  EXPECT_STREQ("abc", dest);
  // The last line is taken whole like every other line.
  EXPECT_EQ(std::string(300, 'E') + "!", String("Last"));
}

using LanguageDbcs = Cp932Table;

TEST_F(LanguageDbcs, CutsOnCharacterBoundariesAndKeepsTrailBackslashes)
{
  LanguageResources res;
  MemoryFile f;
  // 0x83 0x5C is one character whose trail byte is a backslash: the byte
  // after it is no escape.
  f.Data = kMarkerLine + Entry("sA", "\x83\x5cn\x83\x5c") + "\r\n" + Entry("sB", "a\x82\xa0\x82\xa0") + "\r\n" +
           Entry("sC", "\\n\x83\x5c");
  ASSERT_EQ(LanguageLoaded, res.LoadMessages(SourceOf(f)));
  char dest[kStringTextSize];
  res.LookupText(dest, sizeof(dest), "A", nullptr, 's');
  EXPECT_STREQ("\x83\x5cn\x83\x5c", dest);
  res.LookupText(dest, 5, "B", nullptr, 's');
  EXPECT_STREQ("a\x82\xa0", dest); // not "a", lead byte, trail byte, lead byte
  res.LookupText(dest, 4, "B", nullptr, 's');
  EXPECT_STREQ("a\x82\xa0", dest);
  res.LookupText(dest, 3, "B", nullptr, 's');
  EXPECT_STREQ("a", dest);
  res.LookupText(dest, sizeof(dest), "C", nullptr, 's');
  EXPECT_STREQ("\n\x83\x5c", dest); // escapes still work beside double-byte characters
}

TEST_F(LanguageDbcs, ALineEndIsNeverATrailByte)
{
  // A stray lead byte at the end of a line (a file cut short or saved in
  // another code page) before LF, CR LF and FF: each line still ends there.
  LanguageResources res;
  MemoryFile f;
  f.Data = kMarkerLine + Entry("sA", "1") + "\x82\n" + Entry("sB", "2") + "\r\n" + Entry("sC", "3").substr(0, 11) +
           "\x82\r\n" + Entry("sD", "4") + "\x82\f" + Entry("sE", "5");
  ASSERT_EQ(LanguageLoaded, res.LoadMessages(SourceOf(f)));
  EXPECT_EQ(5, res.MessageTable().Count());
  char dest[kStringTextSize];
  const char *expected[][2] = {{"A", "1"}, {"B", "2"}, {"C", "3\x82"}, {"D", "4"}, {"E", "5"}};
  for (const auto &e : expected)
  {
    EXPECT_TRUE(res.LookupText(dest, sizeof(dest), e[0], nullptr, 's')) << e[0];
    EXPECT_STREQ(e[1], dest) << e[0];
  }
}

TEST_F(Language, ReadingDirection)
{
  m_res.DetectReadingDirection(false);
  EXPECT_FALSE(m_res.RightToLeft());
  m_res.DetectReadingDirection(true);
  EXPECT_TRUE(m_res.RightToLeft());
  LoadLines(Entry("$LTRLTR", "RTL") + "\r\n");
  m_res.DetectReadingDirection(false);
  EXPECT_TRUE(m_res.RightToLeft());
  for (const char *other : {"rtl", "LTR", "RTL ", ""})
  {
    LoadLines(Entry("$LTRLTR", other) + "\r\n");
    m_res.DetectReadingDirection(false);
    EXPECT_FALSE(m_res.RightToLeft()) << other;
    m_res.DetectReadingDirection(true); // an "RTL" dialog wins
    EXPECT_TRUE(m_res.RightToLeft()) << other;
  }
}

TEST(DialogScale, SizeEntries)
{
  struct
  {
    const char *Text;
    bool Applies;
    int X, Y;
  } cases[] = {
    {"120*110", true, 120, 110},  {"100*100", false, 100, 100}, {"100*120", true, 100, 120},
    {"120", false, 100, 100},     {"", false, 100, 100},        {" \t+120* 110x", true, 120, 110},
    {"120x*110abc", true, 120, 110}, {"50*400", true, 50, 400}, {"49*100", false, 100, 100},
    {"100*401", false, 100, 100}, {"120*", false, 100, 100},    {"-120*110", false, 100, 100},
    {"*", false, 100, 100},       {"99999999999999*120", false, 100, 100},
    {"120*110*130", true, 120, 110},
  };
  for (const auto &c : cases)
  {
    int x = -1, y = -1;
    EXPECT_EQ(c.Applies, ParseDialogScale(c.Text, x, y)) << c.Text;
    EXPECT_EQ(c.X, x) << c.Text;
    EXPECT_EQ(c.Y, y) << c.Text;
  }
}

TEST(ArrayOfInt, GrowsByAQuarterPlus32OrToTheCount)
{
  Array<int> a;
  EXPECT_EQ(0, a.Capacity());
  std::vector<int> capacities;
  for (int i = 0; i < 200; i++)
  {
    ASSERT_TRUE(a.Add(i));
    if (capacities.empty() || capacities.back() != a.Capacity())
      capacities.push_back(a.Capacity());
  }
  EXPECT_EQ((std::vector<int>{32, 72, 122, 184, 262}), capacities);
  for (int i = 0; i < 200; i++)
    ASSERT_EQ(i, a[i]);
  Array<int> b;
  ASSERT_TRUE(b.Grow(100));
  EXPECT_EQ(100, b.Capacity());
  EXPECT_EQ(100, b.Count());
  ASSERT_TRUE(b.Grow(1));
  EXPECT_EQ(157, b.Capacity());
}

TEST(ArrayOfInt, AGrowthThatCannotBeHadLeavesTheArrayAsItWas)
{
  Array<int> a;
  ASSERT_TRUE(a.Add(7));
  EXPECT_FALSE(a.Grow(0x7FFFFFFF));
  EXPECT_FALSE(a.Grow(-1));
  EXPECT_EQ(1, a.Count());
  EXPECT_EQ(7, a[0]);
  EXPECT_EQ(32, a.Capacity());
}

} // namespace
