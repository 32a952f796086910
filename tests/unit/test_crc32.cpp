#include <gtest/gtest.h>
#include <stdint.h>

#include <random>
#include <string>
#include <vector>

#include "lang/crc32.h"
#include "reference_crc32.h"

namespace {

TEST(Crc32, CheckValues)
{
  EXPECT_EQ(0x352441c2u, Crc32("abc", 3));
  EXPECT_EQ(0x00000000u, Crc32("", 0));
  EXPECT_EQ(0xcbf43926u, Crc32("123456789", 9));
}

TEST(Crc32, EqualsBitwiseCrcForEveryLengthAndAlignment)
{
  std::mt19937 random(20261207);
  std::vector<unsigned char> storage(300 + 16);
  for (auto &b : storage)
    b = (unsigned char)random();
  // Start from an 8-byte boundary, then shift by 0..7.
  unsigned char *base = storage.data();
  while ((uintptr_t)base & 7)
    base++;
  for (int align = 0; align < 8; align++)
  {
    const unsigned char *p = base + align;
    for (size_t len = 0; len <= 300; len++)
    {
      std::string bytes((const char *)p, len);
      ASSERT_EQ(ReferenceCrc32(bytes), Crc32(p, len)) << "alignment " << align << " length " << len;
    }
  }
}

TEST(Crc32, UpdatesInPiecesGiveTheWholeCrc)
{
  std::string data;
  for (int i = 0; i < 77; i++)
    data += (char)(i * 37 + 11);
  uint32_t whole = Crc32(data.data(), data.size());
  for (size_t cut = 0; cut <= data.size(); cut++)
  {
    uint32_t crc = UpdateCrc32(kCrc32Start, data.data(), cut);
    crc = ~UpdateCrc32(crc, data.data() + cut, data.size() - cut);
    EXPECT_EQ(whole, crc) << cut;
  }
}

} // namespace
