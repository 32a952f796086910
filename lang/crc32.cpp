#include "lang/crc32.h"

namespace {

uint32_t s_table[256];
bool s_tableReady;

const uint32_t *Table()
{
  if (!s_tableReady)
  {
    for (uint32_t i = 0; i < 256; i++)
    {
      uint32_t r = i;
      for (int bit = 0; bit < 8; bit++)
        r = (r >> 1) ^ (0xEDB88320 & (0u - (r & 1)));
      s_table[i] = r;
    }
    s_tableReady = true;
  }
  return s_table;
}

inline uint32_t Step(const uint32_t *table, uint32_t crc) { return table[crc & 0xFF] ^ (crc >> 8); }

// Little-endian whatever the host, so the result is that of byte steps.
inline uint32_t Word(const unsigned char *p)
{
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

} // namespace

uint32_t UpdateCrc32(uint32_t crc, const void *data, size_t size)
{
  const uint32_t *table = Table();
  const unsigned char *p = static_cast<const unsigned char *>(data);
  for (; size > 0 && ((uintptr_t)p & 7) != 0; size--)
    crc = Step(table, crc ^ *p++);
  for (; size >= 8; size -= 8, p += 8)
  {
    crc ^= Word(p);
    crc = Step(table, crc);
    crc = Step(table, crc);
    crc = Step(table, crc);
    crc = Step(table, crc);
    crc ^= Word(p + 4);
    crc = Step(table, crc);
    crc = Step(table, crc);
    crc = Step(table, crc);
    crc = Step(table, crc);
  }
  for (; size > 0; size--)
    crc = Step(table, crc ^ *p++);
  return crc;
}
