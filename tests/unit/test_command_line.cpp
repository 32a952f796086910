#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

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

} // namespace
