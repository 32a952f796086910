// CRC-32 with the reflected polynomial 0xEDB88320 (the CRC of zip and PNG).
#pragma once
#include <stddef.h>
#include <stdint.h>

const uint32_t kCrc32Start = 0xFFFFFFFF;

// Feeds bytes into a running value that starts at kCrc32Start; the CRC is
// the complement of the final value.
uint32_t UpdateCrc32(uint32_t crc, const void *data, size_t size);

inline uint32_t Crc32(const void *data, size_t size) { return ~UpdateCrc32(kCrc32Start, data, size); }
