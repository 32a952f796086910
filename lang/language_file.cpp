#include "lang/language_file.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "lang/crc32.h"
#include "util/path.h"

namespace {

const char kMarker[] = "***messages**"; // two asterisks, then "*messages**"
const int kMarkerLength = 13;
// Spare room behind the message block.
const int kTextSlack = 1024;

bool IsMarker(const char *p) { return memcmp(p, kMarker, kMarkerLength) == 0; }

bool IsLeadByte(unsigned char c) { return g_DbcsTable.MultiByte && g_DbcsTable.LeadByte[c]; }

// The bytes that end a line of the file, and the NUL that ends the text:
// none of them is ever the trail byte of a double-byte character.
bool IsLineEndOrNul(unsigned char c) { return c == 0 || c == '\r' || c == '\n' || c == '\f'; }

char EscapedByte(char c)
{
  switch (c)
  {
  case '"':
    return '"';
  case '\\':
    return '\\';
  case 'n':
    return '\n';
  case 'r':
    return '\r';
  case 't':
    return '\t';
  default:
    return 0;
  }
}

// Resolves escapes and turns line breaks into separators, in place; stops at
// a NUL. A double-byte character is kept whole: its trail byte may have the
// value of a backslash. A line end is never a trail byte: a stray lead byte
// at the end of a line (a file cut short or in another code page) stays
// alone, so the next line still starts where it does. Returns the new length
// and terminates the text.
int ProcessText(char *text, int count)
{
  // The bytes that need a look: NUL, backslash, line breaks, lead bytes.
  // Runs of other bytes are copied with one test a byte.
  unsigned char special[256];
  for (int b = 0; b < 256; b++)
    special[b] = IsLeadByte((unsigned char)b) ? 1 : 0;
  special[0] = special[(unsigned char)'\\'] = special[(unsigned char)'\r'] = special[(unsigned char)'\n'] = 1;
  int i = 0;
  int j = 0;
  while (j < count)
  {
    while (j < count && !special[(unsigned char)text[j]])
      text[i++] = text[j++];
    if (j >= count)
      break;
    unsigned char c = (unsigned char)text[j];
    if (c == 0)
      break;
    if (IsLeadByte(c) && j + 1 < count && !IsLineEndOrNul((unsigned char)text[j + 1]))
    {
      text[i++] = text[j++];
      text[i++] = text[j++];
      continue;
    }
    if (c == '\\' && j + 1 < count)
    {
      char replaced = EscapedByte(text[j + 1]);
      if (replaced)
      {
        text[i++] = replaced;
        j += 2;
        continue;
      }
    }
    text[i++] = (c == '\r' || c == '\n') ? kLineSeparator : (char)c;
    j++;
  }
  text[i] = 0;
  return i;
}

// The first 8 bytes as unsigned bytes, stopping at a NUL.
int ComparePrefix(const char *a, const char *b)
{
  for (int n = 0; n < 8; n++)
  {
    unsigned char x = (unsigned char)a[n];
    unsigned char y = (unsigned char)b[n];
    if (x != y)
      return x < y ? -1 : 1;
    if (x == 0)
      return 0;
  }
  return 0;
}

// Heap sort of line offsets by their first 8 bytes: no recursion, no
// allocation, n log n also for a hostile file of one-byte lines.
void SiftDown(int *items, int start, int count, const char *text)
{
  int root = start;
  for (;;)
  {
    int child = 2 * root + 1;
    if (child >= count)
      return;
    if (child + 1 < count && ComparePrefix(text + items[child], text + items[child + 1]) < 0)
      child++;
    if (ComparePrefix(text + items[root], text + items[child]) >= 0)
      return;
    int t = items[root];
    items[root] = items[child];
    items[child] = t;
    root = child;
  }
}

void SortLines(int *items, int count, const char *text)
{
  for (int start = count / 2 - 1; start >= 0; start--)
    SiftDown(items, start, count, text);
  for (int end = count - 1; end > 0; end--)
  {
    int t = items[0];
    items[0] = items[end];
    items[end] = t;
    SiftDown(items, 0, end, text);
  }
}

// The first 8 bytes of an indexed line as one number in the order of
// ComparePrefix: an indexed line starts more than 8 bytes before the end of
// the text, so its first 8 bytes hold no NUL.
uint64_t LineKey(const char *p)
{
  const unsigned char *u = reinterpret_cast<const unsigned char *>(p);
  return (uint64_t)u[0] << 56 | (uint64_t)u[1] << 48 | (uint64_t)u[2] << 40 | (uint64_t)u[3] << 32 |
         (uint64_t)u[4] << 24 | (uint64_t)u[5] << 16 | (uint64_t)u[6] << 8 | (uint64_t)u[7];
}

struct KeyedLine
{
  uint64_t Key;
  int Line;
};

// The same order with the keys taken once and kept beside the offsets, by a
// merge sort of runs that double in length, which makes the sort of a large
// table several times faster than the heap sort. Without memory for the
// keys, the heap sort does it.
void SortIndexedLines(int *items, int count, const char *text)
{
  KeyedLine *keyed = count > 1 ? static_cast<KeyedLine *>(malloc(sizeof(KeyedLine) * 2 * (size_t)count)) : 0;
  if (!keyed)
  {
    SortLines(items, count, text);
    return;
  }
  KeyedLine *from = keyed;
  KeyedLine *to = keyed + count;
  for (int i = 0; i < count; i++)
  {
    from[i].Key = LineKey(text + items[i]);
    from[i].Line = items[i];
  }
  for (int width = 1; width < count; width *= 2)
  {
    for (int lo = 0; lo < count; lo += 2 * width)
    {
      int mid = lo + width < count ? lo + width : count;
      int hi = lo + 2 * width < count ? lo + 2 * width : count;
      int a = lo, b = mid, out = lo;
      while (a < mid && b < hi)
        to[out++] = from[b].Key < from[a].Key ? from[b++] : from[a++];
      while (a < mid)
        to[out++] = from[a++];
      while (b < hi)
        to[out++] = from[b++];
    }
    KeyedLine *t = from;
    from = to;
    to = t;
  }
  for (int i = 0; i < count; i++)
    items[i] = from[i].Line;
  free(keyed);
}

// Copies [start, end) into dest, cut on a character boundary when it does
// not fit.
void CopyRange(char *dest, size_t size, const char *start, const char *end)
{
  if (!g_DbcsTable.MultiByte)
  {
    // Every byte is a character.
    size_t len = (size_t)(end - start);
    if (len > size - 1)
      len = size - 1;
    memcpy(dest, start, len);
    dest[len] = 0;
    return;
  }
  size_t n = 0;
  for (const char *p = start; p < end;)
  {
    size_t len = (IsLeadByte((unsigned char)*p) && p + 1 < end) ? 2 : 1;
    if (n + len >= size)
      break;
    memcpy(dest + n, p, len);
    n += len;
    p += len;
  }
  dest[n] = 0;
}

// A decimal number as strtol reads it, saturated far beyond any valid scale.
int ReadDecimal(const char *p)
{
  while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
    p++;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+')
    p++;
  int value = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (value < 1000000)
      value = value * 10 + (*p - '0');
  return negative ? -value : value;
}

} // namespace

long long FindMessageMarker(const LanguageSource &source)
{
  char block[kMarkerBlockSize];
  for (int n = 0; n < kMarkerBlocks; n++)
  {
    long long position = source.Tell(source.Context);
    if (position < 0)
      return -1;
    int got = source.Read(source.Context, block, kMarkerBlockSize);
    if (got < kMarkerBlockOverlap)
      return -1;
    if (got > kMarkerBlockSize)
      got = kMarkerBlockSize; // never trust more than was asked for
    // Only a position holding an asterisk can start the marker: jump from
    // one to the next.
    const char *last = block + got - kMarkerBlockOverlap;
    for (const char *p = block; p <= last; p++)
    {
      p = static_cast<const char *>(memchr(p, '*', (size_t)(last - p) + 1));
      if (!p)
        break;
      if (IsMarker(p))
        return position + (p - block);
    }
    if (!source.Seek(source.Context, position + got - kMarkerBlockOverlap))
      return -1;
  }
  return -1;
}

void MakeTextKey(char key[9], char classByte, const char *context, const char *defaultText)
{
  uint32_t crc = UpdateCrc32(kCrc32Start, &classByte, 1);
  if (context)
    crc = UpdateCrc32(crc, context, strlen(context));
  crc = ~UpdateCrc32(crc, defaultText, strlen(defaultText));
  static const char digits[] = "0123456789abcdef";
  for (int i = 7; i >= 0; i--, crc >>= 4)
    key[i] = digits[crc & 15];
  key[8] = 0;
}

bool ParseDialogScale(const char *text, int &xs, int &ys)
{
  xs = 100;
  ys = 100;
  const char *star = strchr(text, '*');
  if (!star)
    return false;
  int x = ReadDecimal(text);
  int y = ReadDecimal(star + 1);
  if (x < kMinDialogScale || x > kMaxDialogScale || y < kMinDialogScale || y > kMaxDialogScale)
    return false;
  xs = x;
  ys = y;
  return !(x == 100 && y == 100);
}

LanguageResources::LanguageResources() : m_text(0), m_textLength(0), m_rightToLeft(0) {}

LanguageResources::~LanguageResources() { Unload(); }

void LanguageResources::Unload()
{
  free(m_text);
  m_text = 0;
  m_textLength = 0;
  m_table.Free();
  m_rightToLeft = 0;
}

LanguageLoad LanguageResources::LoadMessages(const LanguageSource &source)
{
  Unload();
  long long marker = FindMessageMarker(source);
  if (marker < 0 || !source.Seek(source.Context, marker))
    return LanguageNotLoaded;
  char *text = static_cast<char *>(malloc(kMessageBlockSize + kTextSlack));
  if (!text)
    return LanguageNotLoaded;
  text[kMessageBlockSize] = 0;
  // One read; a failed read leaves an empty text that still counts as loaded.
  int count = source.Read(source.Context, text, kMessageBlockSize);
  if (count < 0)
    count = 0;
  if (count > kMessageBlockSize)
    count = kMessageBlockSize;
  m_textLength = ProcessText(text, count);
  m_text = text;
  if (!BuildMessageTable())
  {
    Unload();
    return LanguageOutOfMemory;
  }
  return LanguageLoaded;
}

bool LanguageResources::BuildMessageTable()
{
  // Line starts after a separator; the marker line at 0 and lines that start
  // within the last 8 bytes are left out.
  // A separator before 9 bytes from the end starts a line at k < length - 8.
  const char *text = m_text;
  int limit = m_textLength - 9;
  for (int sep = 0; sep < limit; sep++)
  {
    const void *hit = memchr(text + sep, kLineSeparator, (size_t)(limit - sep));
    if (!hit)
      break;
    sep = (int)(static_cast<const char *>(hit) - text);
    if (text[sep + 1] != kLineSeparator && !m_table.Add(sep + 1))
      return false;
  }
  SortIndexedLines(m_table.Items(), m_table.Count(), m_text);
  return true;
}

int LanguageResources::FindLine(const char *key) const
{
  const char *text = m_text;
  // The key's 8 bytes hold no NUL (LookupKey makes sure), nor do those of
  // a line in the table: compared as numbers, they compare as ComparePrefix.
  // Every line that can start with a key is in the table (the first line is
  // the marker's, one within the last 8 bytes is too short), so the lines of
  // the key are one run of the sorted table: found by a binary search
  // without branches, then walked for the first in entry form (key, "=" and
  // a double quote). Which of several entries of one key is used is not
  // defined.
  uint64_t wanted = LineKey(key);
  const int *items = m_table.Items();
  int count = m_table.Count();
  if (count == 0)
    return -1;
  const int *base = items;
  for (int n = count; n > 1;)
  {
    int half = n / 2;
    base += LineKey(text + base[half]) < wanted ? half : 0;
    n -= half;
  }
  int i = (int)(base - items) + (LineKey(text + *base) < wanted ? 1 : 0);
  for (; i < count && LineKey(text + items[i]) == wanted; i++)
  {
    int line = items[i];
    if (text[line + 8] == '=' && text[line + 9] == '"')
      return line;
  }
  return -1;
}

bool LanguageResources::LookupText(char *dest, size_t size, const char *defaultText, const char *context,
                                   char classByte) const
{
  if (size == 0)
    return false;
  if (m_text)
  {
    char key[9];
    MakeTextKey(key, classByte, context, defaultText);
    if (LookupKey(dest, size, key))
      return true;
  }
  if (dest != defaultText)
    CopyWholeChars(dest, size, defaultText);
  return false;
}

bool LanguageResources::LookupKey(char *dest, size_t size, const char *key) const
{
  if (!m_text || size == 0)
    return false;
  for (int i = 0; i < 8; i++)
    if (key[i] == 0)
      return false; // a match must cover 8 bytes of the text
  int line = FindLine(key);
  if (line < 0)
    return false;
  const char *start = m_text + line + 10;
  const char *textEnd = m_text + m_textLength;
  const char *lineEnd = start < textEnd ? static_cast<const char *>(memchr(start, kLineSeparator, (size_t)(textEnd - start))) : 0;
  if (!lineEnd)
    lineEnd = start < textEnd ? textEnd : start;
  // The translation ends at the last double quote of the line; without one
  // it runs to the line end.
  const char *end = lineEnd;
  for (const char *p = lineEnd; p > start; p--)
    if (p[-1] == '"')
    {
      end = p - 1;
      break;
    }
  CopyRange(dest, size, start, end);
  return true;
}

void LanguageResources::DetectReadingDirection(bool rtlDialog)
{
  if (rtlDialog)
  {
    m_rightToLeft = 1;
    return;
  }
  char direction[kWindowTextSize];
  LookupText(direction, sizeof(direction), "LTR", "LTR", '$');
  m_rightToLeft = strcmp(direction, "RTL") == 0 ? 1 : 0;
}
