// A bit-by-bit CRC-32 (reflected 0xEDB88320), independent of the table
// version in the product, and text keys made with it.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include <string>

inline uint32_t ReferenceCrc32(const std::string &data)
{
  uint32_t crc = 0xFFFFFFFF;
  for (unsigned char c : data)
  {
    crc ^= c;
    for (int bit = 0; bit < 8; bit++)
      crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
  }
  return ~crc;
}

inline std::string ReferenceKey(const std::string &classContextText)
{
  char key[16];
  snprintf(key, sizeof(key), "%08x", (unsigned)ReferenceCrc32(classContextText));
  return key;
}
