// The language file loader and lookup over a virtual file: a run of one
// filler byte, then the input, so that markers land on every 8 KB block
// boundary and near the end of the searched range.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "lang/language_file.h"
#include "util/path.h"

namespace {

const size_t kKeySizes[] = {1, 3, kStringTextSize};
const size_t kTextSizes[] = {1, 5, kStringTextSize, kWindowTextSize};

struct VirtualFile
{
  const uint8_t *Data;
  size_t Size;
  long long Pad;
  uint8_t Filler;
  int Chunk;
  long long Pos;

  long long Length() const { return Pad + (long long)Size; }
  uint8_t At(long long i) const { return i < Pad ? Filler : Data[i - Pad]; }
};

int ReadVirtual(void *context, char *buffer, int count)
{
  VirtualFile *f = static_cast<VirtualFile *>(context);
  long long n = f->Length() - f->Pos;
  if (n < 0)
    n = 0;
  if (n > count)
    n = count;
  if (n > f->Chunk)
    n = f->Chunk;
  long long pad = f->Pad - f->Pos;
  if (pad < 0)
    pad = 0;
  if (pad > n)
    pad = n;
  memset(buffer, f->Filler, (size_t)pad);
  if (n > pad)
    memcpy(buffer + pad, f->Data + (f->Pos + pad - f->Pad), (size_t)(n - pad));
  f->Pos += n;
  return (int)n;
}

long long TellVirtual(void *context) { return static_cast<VirtualFile *>(context)->Pos; }

bool SeekVirtual(void *context, long long position)
{
  static_cast<VirtualFile *>(context)->Pos = position;
  return true;
}

bool MarkerAt(const VirtualFile &f, long long p)
{
  static const char marker[] = "***messages**";
  for (int i = 0; i < 13; i++)
    if (f.At(p + i) != (uint8_t)marker[i])
      return false;
  return true;
}

// The first marker with 16 bytes after its first asterisk, at 523,264 or
// before; the filler alone never forms one.
long long FirstMarker(const VirtualFile &f)
{
  long long from = f.Pad > 13 ? f.Pad - 13 : 0;
  for (long long p = from; p <= 523264 && p + 16 <= f.Length(); p++)
    if (MarkerAt(f, p))
      return p;
  return -1;
}

void Check(bool ok)
{
  if (!ok)
    __builtin_trap();
}

// The processed message block as the rules say, byte by byte: what the
// loader's faster passes must give.
std::string ReferenceText(const VirtualFile &f, long long marker)
{
  std::string raw;
  for (long long p = marker; p < f.Length() && p < marker + kMessageBlockSize; p++)
    raw.push_back((char)f.At(p));
  std::string out;
  size_t count = raw.size();
  for (size_t j = 0; j < count;)
  {
    unsigned char c = (unsigned char)raw[j];
    if (c == 0)
      break;
    if (g_DbcsTable.MultiByte && g_DbcsTable.LeadByte[c] && j + 1 < count && raw[j + 1] != 0 &&
        raw[j + 1] != '\r' && raw[j + 1] != '\n' && raw[j + 1] != '\f')
    {
      out += raw.substr(j, 2);
      j += 2;
      continue;
    }
    if (c == '\\' && j + 1 < count && strchr("\"\\nrt", raw[j + 1]) && raw[j + 1] != 0)
    {
      const char n = raw[j + 1];
      out.push_back(n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n);
      j += 2;
      continue;
    }
    out.push_back(c == '\r' || c == '\n' ? kLineSeparator : (char)c);
    j++;
  }
  return out;
}

// A lookup into a buffer of exactly size bytes, so that the sanitizer sees
// any write beyond it.
void LookupInto(const LanguageResources &res, size_t size, const char *key, const char *defaultText)
{
  char *dest = new char[size];
  if (key)
  {
    if (res.LookupKey(dest, size, key))
      Check(strlen(dest) < size);
  }
  else
  {
    res.LookupText(dest, size, defaultText, "SETUPDLG", '$');
    Check(strlen(dest) < size);
    int xs, ys;
    if (ParseDialogScale(dest, xs, ys))
      Check(xs >= kMinDialogScale && xs <= kMaxDialogScale && ys >= kMinDialogScale && ys <= kMaxDialogScale);
  }
  delete[] dest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  // Header: flags (code page, chunked source), filler byte, padding length.
  if (size < 4)
    return 0;
  memset(&g_DbcsTable, 0, sizeof(g_DbcsTable));
  if (data[0] & 1)
  {
    g_DbcsTable.MultiByte = 1;
    for (int b = 0x81; b <= 0xFE; b++)
      g_DbcsTable.LeadByte[b] = 1;
  }
  VirtualFile f = {data + 4, size - 4, 0, data[1], (data[0] & 2) ? 1 + data[0] * 97 : 1 << 30, 0};
  if (data[0] & 4)
    f.Pad = ((long long)data[2] << 8 | data[3]) * 9; // up to 589,815
  // A long run of asterisks costs the search a marker test at every byte,
  // which under the fuzzer's instrumentation makes such an input a hundred
  // times slower than the others: it keeps to the first two blocks.
  if (f.Filler == '*')
    f.Pad %= 2 * 8192 + 17;
  LanguageSource source = {ReadVirtual, TellVirtual, SeekVirtual, &f};

  long long marker = FindMessageMarker(source);
  if (f.Chunk >= 8192)
    Check(marker == FirstMarker(f));
  else if (marker >= 0) // short reads find a marker later or not at all
    Check(marker <= 523264 && MarkerAt(f, marker));

  f.Pos = 0;
  LanguageResources res;
  LanguageLoad load = res.LoadMessages(source);
  Check(load != LanguageOutOfMemory);
  Check((load == LanguageLoaded) == res.IsLoaded());
  if (res.IsLoaded())
  {
    const char *text = res.Text();
    int len = res.TextLength();
    Check(len >= 0 && len <= kMessageBlockSize && (int)strlen(text) == len);
    // With whole reads the text is exactly the processed block.
    if (f.Chunk >= kMessageBlockSize && marker >= 0)
      Check(ReferenceText(f, marker) == std::string(text, (size_t)len));
    const Array<int> &table = res.MessageTable();
    // Every line start is in the table, none twice.
    int starts = 0;
    for (int k = 1; k < len - 8; k++)
      if (text[k - 1] == kLineSeparator && text[k] != kLineSeparator)
        starts++;
    Check(starts == table.Count());
    // A key is found exactly when an entry line starts with it.
    const char probe[9] = "zzzzzzzz";
    bool entry = false;
    for (int i = 0; i < table.Count(); i++)
      entry = entry || (memcmp(text + table[i], probe, 8) == 0 && text[table[i] + 8] == '=' &&
                        text[table[i] + 9] == '"');
    char value[kStringTextSize];
    Check(res.LookupKey(value, sizeof(value), probe) == entry);
    for (int i = 0; i < table.Count(); i++)
    {
      int k = table[i];
      Check(k >= 1 && k < len - 8 && text[k - 1] == kLineSeparator && text[k] != kLineSeparator);
      if (i > 0)
        Check(strncmp(text + table[i - 1], text + k, 8) <= 0);
    }
    // Every entry of the table is found by its key.
    for (int i = 0; i < table.Count() && i < 24; i++)
    {
      int k = table[i];
      char key[9];
      memcpy(key, text + k, 8);
      key[8] = 0;
      if (strlen(key) == 8 && text[k + 8] == '=' && text[k + 9] == '"')
      {
        char value[kStringTextSize];
        Check(res.LookupKey(value, sizeof(value), key));
      }
      for (size_t s : kKeySizes)
        LookupInto(res, s, key, nullptr);
    }
  }
  for (size_t s : kTextSizes)
  {
    LookupInto(res, s, nullptr, "");
    LookupInto(res, s, nullptr, "&Help");
  }
  res.DetectReadingDirection(false);
  return 0;
}
