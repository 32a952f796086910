#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "dbcs_fixture.h"

namespace {

// Records the switches in the order their effects would happen.
void Record(SwitchKind kind, void *context)
{
  static const char kNames[] = "PSWRO"; // setup, silent, wait, warning, other
  static_cast<std::string *>(context)->push_back(kNames[kind]);
}

struct Parsed
{
  CommandLine Line;
  std::string Order;
};

Parsed Parse(const char *text)
{
  Parsed p;
  p.Line = ParseCommandLine(text, Record, &p.Order);
  return p;
}

TEST(CommandLine, EmptyRunsUninstall)
{
  Parsed p = Parse("");
  EXPECT_FALSE(p.Line.Setup);
  EXPECT_FALSE(p.Line.Silent);
  EXPECT_EQ(0, p.Line.Counted);
  EXPECT_EQ(0, ParseCommandLine(NULL, NULL, NULL).Counted);
  EXPECT_EQ(0, Parse("no switches here").Line.Counted);
}

TEST(CommandLine, SilentAloneIsNotCounted)
{
  for (const char *text : {"/s", "-S", "/s1", "/s.", "/s /S", "  /s  "})
  {
    Parsed p = Parse(text);
    EXPECT_TRUE(p.Line.Silent) << text;
    EXPECT_EQ(0, p.Line.Counted) << text;
  }
}

TEST(CommandLine, SilentNeedsANonLetterAfterTheS)
{
  Parsed p = Parse("/sx");
  EXPECT_FALSE(p.Line.Silent);
  EXPECT_EQ(1, p.Line.Counted);
  EXPECT_EQ("O", p.Order);
}

TEST(CommandLine, SetupInAnyCaseAndWithTrailingText)
{
  for (const char *text : {"/setup", "/SETUP", "-Setup", "/setupanything", "/setup /s", "/s /setup"})
  {
    Parsed p = Parse(text);
    EXPECT_TRUE(p.Line.Setup) << text;
    EXPECT_GE(p.Line.Counted, 1) << text;
  }
  EXPECT_TRUE(Parse("/setup /s").Line.Silent);
  EXPECT_TRUE(Parse("/s /setup").Line.Silent);
  Parsed twice = Parse("/setup /setup");
  EXPECT_TRUE(twice.Line.Setup);
  EXPECT_EQ(2, twice.Line.Counted);
}

TEST(CommandLine, WaitAndWarningActInOrder)
{
  Parsed p = Parse("/wait /warning -waiting /WARNINGS");
  EXPECT_EQ("WRWR", p.Order);
  EXPECT_EQ(4, p.Line.Counted);
  EXPECT_EQ("O", Parse("/wai").Order);
  EXPECT_EQ("O", Parse("/warn").Order);
}

TEST(CommandLine, MarkersAnywhereStartSwitches)
{
  // A hyphen inside a path is a marker: "files\x" counts.
  Parsed p = Parse("C:\\my-files\\x");
  EXPECT_EQ(1, p.Line.Counted);
  EXPECT_EQ("O", p.Order);
  // A marker inside a switch word starts another switch.
  Parsed q = Parse("/x/s");
  EXPECT_EQ("OS", q.Order);
  EXPECT_EQ(1, q.Line.Counted);
  EXPECT_TRUE(q.Line.Silent);
  Parsed r = Parse("/wait-setup");
  EXPECT_EQ("WP", r.Order);
  // An empty word counts.
  EXPECT_EQ(2, Parse("/ -").Line.Counted);
  EXPECT_EQ(1, Parse("/").Line.Counted);
  EXPECT_EQ(1, Parse("/clean").Line.Counted);
}

TEST(CommandLine, ModeOfEachKindOfLine)
{
  struct Case
  {
    const char *Text;
    Mode Expected;
  } cases[] = {
      {"", ModeUninstall},          {"/s", ModeUninstall},        {"/setup", ModeSetup},
      {"/s /setup /x", ModeSetup},  {"/wait", ModeHelper},        {"/s /warning", ModeHelper},
      // Switches of other installers and a path with a hyphen prevent every
      // mode: nothing is done, and that is no success.
      {"/S /norestart", ModeNone},  {"/quiet", ModeNone},         {"/qn", ModeNone},
      {"C:\\my-files\\x", ModeNone}, {"/sx", ModeNone},          {"/", ModeNone},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.Expected, ChooseMode(Parse(c.Text).Line)) << c.Text;
}

TEST(CommandLine, ClassifyFollowsTheRuleOrder)
{
  EXPECT_EQ(SwitchSetup, ClassifySwitch("setup"));
  EXPECT_EQ(SwitchSilent, ClassifySwitch("s"));
  EXPECT_EQ(SwitchSilent, ClassifySwitch("s-"));
  EXPECT_EQ(SwitchOther, ClassifySwitch("set"));
  EXPECT_EQ(SwitchWait, ClassifySwitch("WAIT"));
  EXPECT_EQ(SwitchWarning, ClassifySwitch("warning"));
  EXPECT_EQ(SwitchOther, ClassifySwitch(""));
}

const char kTool[] = "C:\\Program Files\\Quabix-Archiver\\uninstall.exe";

struct NameCase
{
  const char *CommandLine;
  const char *Module;
  const char *Arguments; // what is left after the program's name
};

class SkipName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(SkipName, LeavesTheArguments)
{
  const NameCase &c = GetParam();
  EXPECT_STREQ(c.Arguments, SkipProgramName(c.CommandLine, c.Module)) << c.CommandLine;
}

INSTANTIATE_TEST_SUITE_P(
  CommandLine, SkipName,
  ::testing::Values(
    // Quoted: up to the closing quote, whatever the module path is.
    NameCase{"\"C:\\Program Files\\Quabix-Archiver\\uninstall.exe\" /s", kTool, " /s"},
    NameCase{"\"C:\\other place\\tool.exe\"/setup", kTool, "/setup"},
    NameCase{"\"C:\\no closing quote /s", kTool, ""},
    // Unquoted with blanks and a dash: exactly the module path.
    NameCase{"C:\\Program Files\\Quabix-Archiver\\uninstall.exe", kTool, ""},
    NameCase{"C:\\Program Files\\Quabix-Archiver\\uninstall.exe\t/setup", kTool, "\t/setup"},
    NameCase{"c:\\PROGRAM FILES\\quabix-ARCHIVER\\Uninstall.EXE /s", kTool, " /s"},
    NameCase{"C:\\Program Files\\Quabix-Archiver\\uninstall /s", kTool, " /s"},
    NameCase{"C:/Program Files/Quabix-Archiver/uninstall.exe /s", kTool, " /s"},
    NameCase{"C:\\a-b /c\\uninstall.exe -s", "C:\\a-b /c\\uninstall.exe", " -s"},
    // A longer name that only starts with the module path (or with it
    // without ".exe") is split at its first blank.
    NameCase{"C:\\Program Files\\Quabix-Archiver\\uninstall.exe2 /s", kTool,
             " Files\\Quabix-Archiver\\uninstall.exe2 /s"},
    NameCase{"C:\\Program Files\\Quabix-Archiver\\uninstaller /s", kTool,
             " Files\\Quabix-Archiver\\uninstaller /s"},
    // Another program's name, or no module path: the first blank ends it.
    NameCase{"C:\\Quabix\\uninstall.exe /s", kTool, " /s"},
    NameCase{"uninstall.exe", NULL, ""},
    NameCase{" /s", kTool, " /s"},
    NameCase{"", kTool, ""}));

TEST(CommandLine, UninstallCommandWithBlanksAndDashRunsUninstall)
{
  // Unparsed, the name's own dash would count as a switch.
  EXPECT_EQ(1, ParseCommandLine(kTool, NULL, NULL).Counted);
  EXPECT_EQ(0, ParseCommandLine(SkipProgramName(kTool, kTool), NULL, NULL).Counted);
  EXPECT_EQ(NULL, SkipProgramName(NULL, kTool));
}

// Stands in for the file system: records what it was asked, accepts one name.
struct Asked
{
  std::string Accepted;
  std::vector<std::string> Candidates;
};

bool AskFileSystem(const char *candidate, void *context)
{
  Asked *asked = static_cast<Asked *>(context);
  asked->Candidates.push_back(candidate);
  return asked->Accepted == candidate;
}

TEST(CommandLine, OtherSpellingsAreLeftToTheFileSystemShortestFirst)
{
  Asked asked;
  asked.Accepted = "C:\\PROGRA~1\\QUABIX~1\\UNINST~1.EXE";
  EXPECT_STREQ(" /s", SkipProgramName("C:\\PROGRA~1\\QUABIX~1\\UNINST~1.EXE /s", kTool, AskFileSystem, &asked));
  EXPECT_EQ((std::vector<std::string>{asked.Accepted}), asked.Candidates);

  // Every prefix that ends at a blank or a tab, and the whole line.
  asked = Asked();
  asked.Accepted = "C:\\Program Files\\Quabix \xC4rchiv\\uninstall.exe";
  EXPECT_STREQ("\t/s", SkipProgramName("C:\\Program Files\\Quabix \xC4rchiv\\uninstall.exe\t/s", kTool,
                                        AskFileSystem, &asked));
  EXPECT_EQ((std::vector<std::string>{"C:\\Program", "C:\\Program Files\\Quabix", asked.Accepted}),
            asked.Candidates);
  asked = Asked();
  EXPECT_STREQ("  x /s", SkipProgramName("a.exe  x /s", kTool, AskFileSystem, &asked));
  EXPECT_EQ((std::vector<std::string>{"a.exe", "a.exe ", "a.exe  x", "a.exe  x /s"}), asked.Candidates);

  // Neither a quoted name nor one that matches as text is asked about.
  asked = Asked();
  EXPECT_STREQ(" /s", SkipProgramName("\"C:\\x y\\u.exe\" /s", kTool, AskFileSystem, &asked));
  EXPECT_STREQ(" /s", SkipProgramName("c:\\program files\\quabix-archiver\\uninstall /s", kTool, AskFileSystem,
                                      &asked));
  EXPECT_TRUE(asked.Candidates.empty());

  // A prefix that does not fit a path buffer is never offered.
  std::string longLine = std::string(1023, 'x') + " /s";
  asked = Asked();
  SkipProgramName(longLine.c_str(), kTool, AskFileSystem, &asked);
  EXPECT_EQ(1u, asked.Candidates.size());
  longLine = std::string(1024, 'x') + " /s";
  asked = Asked();
  EXPECT_STREQ(" /s", SkipProgramName(longLine.c_str(), kTool, AskFileSystem, &asked));
  EXPECT_TRUE(asked.Candidates.empty());
}

using SkipNameDbcs = Cp932Table;

TEST_F(SkipNameDbcs, DoubleByteCharactersCompareExactly)
{
  // 0x83 0x5C ends in a backslash byte; 0x82 0x61 and 0x82 0x41 are two
  // characters that ASCII folding would take for one.
  const char module[] = "C:\\\x83\x5C A\\\x82\x61\\uninstall.exe";
  EXPECT_STREQ(" /s", SkipProgramName("c:\\\x83\x5C A\\\x82\x61\\UNINSTALL.EXE /s", module));
  EXPECT_STREQ(" A\\\x82\x41\\uninstall.exe /s",
               SkipProgramName("C:\\\x83\x5C A\\\x82\x41\\uninstall.exe /s", module));
  // A stray lead byte at the end of the module path is a byte of its own.
  EXPECT_STREQ(" /s", SkipProgramName("C:\\x y\x83 /s", "C:\\x y\x83"));
  EXPECT_STREQ(" y\x83", SkipProgramName("C:\\x y\x83", "C:\\x y\x83\x41"));
}

} // namespace
