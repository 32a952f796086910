#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "dbcs_fixture.h"
#include "integration/association_rules.h"

namespace {

std::vector<std::string> Split(const char *list)
{
  std::vector<std::string> out;
  char ext[16];
  while (NextExtension(list, ext, sizeof(ext)))
    out.push_back(ext);
  return out;
}

TEST(AssociationRules, ExtensionListsSplitLeftToRight)
{
  EXPECT_EQ((std::vector<std::string>{".qbx"}), Split(".qbx"));
  EXPECT_EQ((std::vector<std::string>{".lzh", ".lha"}), Split(".lzh.lha"));
  EXPECT_EQ((std::vector<std::string>{".bz2", ".tbz2", ".bz", ".tbz"}), Split(".bz2.tbz2.bz.tbz"));
  EXPECT_TRUE(Split("").empty());
  const char *list = ".toolongextension";
  char small[8];
  EXPECT_FALSE(NextExtension(list, small, sizeof(small)));
}

TEST(AssociationRules, VolumeExtensions)
{
  char ext[8];
  ASSERT_TRUE(FormatVolumeExtension(0, ext, sizeof(ext)));
  EXPECT_STREQ(".q00", ext);
  ASSERT_TRUE(FormatVolumeExtension(29, ext, sizeof(ext)));
  EXPECT_STREQ(".q29", ext);
  ASSERT_TRUE(FormatVolumeExtension(99, ext, sizeof(ext)));
  EXPECT_STREQ(".q99", ext);
  EXPECT_FALSE(FormatVolumeExtension(100, ext, sizeof(ext)));
  EXPECT_EQ(30, VolumeExtensionCount(true));
  EXPECT_EQ(100, VolumeExtensionCount(false));
}

TEST(AssociationRules, TemplateFileFromWindowsMeAnd2000On)
{
  EXPECT_FALSE(UsesTemplateFile(4, 0));  // Windows 95, NT 4.0
  EXPECT_FALSE(UsesTemplateFile(4, 10)); // Windows 98
  EXPECT_TRUE(UsesTemplateFile(4, 90));  // Windows Me
  EXPECT_TRUE(UsesTemplateFile(5, 0));   // Windows 2000
  EXPECT_TRUE(UsesTemplateFile(6, 1));
}

uint32_t BitwiseCrc32(const unsigned char *data, size_t size)
{
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; i++)
  {
    crc ^= data[i];
    for (int k = 0; k < 8; k++)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST(AssociationRules, TemplatesAreEmptyArchivesOnlyOncePrepared)
{
  EXPECT_EQ(0, g_QbxTemplate[0]);
  EXPECT_EQ(0, g_ZipTemplate[0]);
  PrepareTemplates();
  EXPECT_EQ(std::string("Qbx!\x1A\x07", 6), std::string((const char *)g_QbxTemplate, 6));
  EXPECT_EQ(0, g_QbxTemplate[6]);
  // The main header: its CRC is the low 16 bits of the CRC-32 of the rest.
  uint16_t crc = (uint16_t)(g_QbxTemplate[7] | g_QbxTemplate[8] << 8);
  EXPECT_EQ((uint16_t)BitwiseCrc32(g_QbxTemplate + 9, 11), crc);
  EXPECT_EQ(0x73, g_QbxTemplate[9]);
  EXPECT_EQ(13, g_QbxTemplate[12] | g_QbxTemplate[13] << 8);
  const unsigned char eocd[22] = {'P', 'K', 5, 6};
  EXPECT_EQ(0, memcmp(eocd, g_ZipTemplate, sizeof(eocd)));
}

TEST(AssociationRules, OnlyTheRowsOwnTemplateCountsAsSetups)
{
  EXPECT_TRUE(IsTemplateFileName("C:\\Program Files\\Quabix\\qbxnew.dat", true));
  EXPECT_TRUE(IsTemplateFileName("C:\\PROGRA~1\\QUABIX\\QBXNEW.DAT", true)); // another spelling of the folder
  EXPECT_TRUE(IsTemplateFileName("zipnew.dat", false));
  EXPECT_FALSE(IsTemplateFileName("C:\\Quabix\\zipnew.dat", true));
  EXPECT_FALSE(IsTemplateFileName("C:\\Quabix\\qbxnew.dat", false));
  EXPECT_FALSE(IsTemplateFileName("C:\\Other\\template.zip", false));
  EXPECT_FALSE(IsTemplateFileName("C:\\Other\\myzipnew.dat", false));
  EXPECT_FALSE(IsTemplateFileName("zipnew.dat.bak", false));
  EXPECT_FALSE(IsTemplateFileName("", false));

  PrepareTemplates();
  EXPECT_TRUE(IsTemplateData(g_QbxTemplate, kQbxTemplateSize, true));
  EXPECT_TRUE(IsTemplateData(g_ZipTemplate, kZipTemplateSize, false));
  EXPECT_FALSE(IsTemplateData(g_ZipTemplate, kZipTemplateSize, true));
  EXPECT_FALSE(IsTemplateData(g_QbxTemplate, kQbxTemplateSize, false));
  EXPECT_FALSE(IsTemplateData(g_ZipTemplate, kZipTemplateSize - 1, false));
  unsigned char other[kZipTemplateSize];
  memcpy(other, g_ZipTemplate, sizeof(other));
  other[21] = 1; // a comment length: another program's template
  EXPECT_FALSE(IsTemplateData(other, sizeof(other), false));
}

TEST(AssociationRules, AVolumeKeyIsChangedOnlyWhileItIsTheArchiversAndGetsItsOwnOwnerFirst)
{
  EXPECT_EQ(kVolumeLeave, DecideVolumeGiveBack(false, true, "OtherApp.Volume", true, "OtherApp.Qbx"));
  EXPECT_EQ(kVolumeLeave, DecideVolumeGiveBack(false, false, "", false, ""));
  // Its own previous owner, whatever the QBX type had.
  EXPECT_EQ(kVolumeRestoreOwn, DecideVolumeGiveBack(true, true, "OtherApp.Volume", true, "OtherApp.Qbx"));
  EXPECT_EQ(kVolumeRestoreOwn, DecideVolumeGiveBack(true, true, "OtherApp.Volume", false, ""));
  // No owner of its own (or a key without a type): the QBX type's.
  EXPECT_EQ(kVolumeRestore, DecideVolumeGiveBack(true, false, "", true, "OtherApp.Qbx"));
  EXPECT_EQ(kVolumeRestore, DecideVolumeGiveBack(true, true, "", true, "OtherApp.Qbx"));
  EXPECT_EQ(kVolumeRelease, DecideVolumeGiveBack(true, false, "OtherApp.Volume", true, ""));
  EXPECT_EQ(kVolumeRelease, DecideVolumeGiveBack(true, false, "", false, "OtherApp.Qbx"));
}

TEST(AssociationRules, OnlyLinksToTheArchiverItsHelpOrManualInTheInstallFolderAreTheProducts)
{
  const char *folder = "C:\\Program Files\\Quabix";
  for (const char *target : {"C:\\Program Files\\Quabix\\Quabix.exe", "c:\\program files\\QUABIX\\quabix.EXE",
                             "C:\\Program Files\\Quabix\\Quabix.hlp", "C:\\Program Files\\Quabix\\Qbx.txt",
                             "C:\\Program Files\\Quabix/Quabix.exe"})
    EXPECT_TRUE(IsProductLinkTarget(target, folder)) << target;
  EXPECT_TRUE(IsProductLinkTarget("C:\\Program Files\\Quabix\\Quabix.exe", "C:\\Program Files\\Quabix\\"));
  EXPECT_TRUE(IsProductLinkTarget("C:\\Quabix.exe", "C:\\"));
  for (const char *target : {"C:\\Program Files\\Quabix2\\Quabix.exe", "C:\\Program Files\\Quabi\\Quabix.exe",
                             "C:\\Program Files\\Quabix\\bin\\Quabix.exe", "C:\\Program Files\\Quabix\\uninstall.exe",
                             "C:\\Program Files\\Quabix\\Quabix.exe.old", "C:\\Program Files\\Quabix.exe",
                             "Quabix.exe", ""})
    EXPECT_FALSE(IsProductLinkTarget(target, folder)) << target;
}

using LinkTargetDbcs = Cp932Table;

TEST_F(LinkTargetDbcs, ADoubleByteFolderNameMatchesOnlyItself)
{
  // 0x83 0x5C ends in a backslash byte and 0x83 0x41 and 0x83 0x61 are two
  // different characters: neither is a separator or a letter to fold.
  EXPECT_TRUE(IsProductLinkTarget("C:\\\x83\x5C\\Quabix.exe", "C:\\\x83\x5C"));
  EXPECT_TRUE(IsProductLinkTarget("C:\\\x83\x5C\\Quabix.exe", "C:\\\x83\x5C\\"));
  EXPECT_FALSE(IsProductLinkTarget("C:\\\x83\x5CQuabix.exe", "C:\\\x83"));
  EXPECT_FALSE(IsProductLinkTarget("C:\\\x83\x41\\Quabix.exe", "C:\\\x83\x61"));
}

TEST(AssociationRules, HandlerKeysNamingEitherProductClsidAreTheProducts)
{
  const char *other = "{00000000-1111-2222-3333-444444444444}";
  EXPECT_TRUE(NamesProductClsid(kShellExtClsid32, kShellExtClsid32));
  EXPECT_TRUE(NamesProductClsid(kShellExtClsid64, kShellExtClsid32)); // registered second under WOW64
  EXPECT_TRUE(NamesProductClsid("{6f2a91c0-4d3b-11d2-a7e5-5c31b08e92d4}", kShellExtClsid64));
  EXPECT_TRUE(NamesProductClsid(other, other));
  EXPECT_FALSE(NamesProductClsid(other, kShellExtClsid32));
  EXPECT_FALSE(NamesProductClsid("", kShellExtClsid32));
  EXPECT_FALSE(NamesProductClsid("{6F2A91C0-4D3B-11D2-A7E5-5C31B08E92D4} ", kShellExtClsid32));
}

int g_probeCalls;
bool g_probeWorks, g_probeAnswer;

bool FakeProbe(bool &answer)
{
  g_probeCalls++;
  if (g_probeWorks)
    answer = g_probeAnswer;
  return g_probeWorks;
}

TEST(AssociationRules, AProbeIsAskedUntilItAnswersAndThenNeverAgain)
{
  for (bool result : {false, true})
  {
    int cache = -1;
    g_probeCalls = 0;
    g_probeWorks = false;
    g_probeAnswer = result;
    EXPECT_FALSE(CachedProbe(cache, FakeProbe));
    EXPECT_FALSE(CachedProbe(cache, FakeProbe));
    EXPECT_EQ(2, g_probeCalls); // a failed probe is not kept
    EXPECT_EQ(-1, cache);
    g_probeWorks = true;
    EXPECT_EQ(result, CachedProbe(cache, FakeProbe));
    g_probeAnswer = !result; // the system is not asked again
    EXPECT_EQ(result, CachedProbe(cache, FakeProbe));
    EXPECT_EQ(result, CachedProbe(cache, FakeProbe));
    EXPECT_EQ(3, g_probeCalls);
  }
}

} // namespace
