#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

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

} // namespace
