#include "util/text.h"

#include <stdarg.h>
#include <string.h>

bool CopyText(char *dest, size_t size, const char *src)
{
  if (size == 0)
    return false;
  size_t len = strlen(src);
  if (len >= size)
  {
    *dest = 0;
    return false;
  }
  memmove(dest, src, len + 1);
  return true;
}

bool AppendText(char *dest, size_t size, const char *src)
{
  size_t have = strlen(dest);
  size_t len = strlen(src);
  if (have + len >= size)
    return false;
  memmove(dest + have, src, len + 1);
  return true;
}

namespace {

struct Output
{
  char *Dest;
  size_t Size;
  size_t Len;
  bool Overflow;

  void Put(const char *s, size_t n)
  {
    if (Overflow || Len + n >= Size)
    {
      Overflow = true;
      return;
    }
    memcpy(Dest + Len, s, n);
    Len += n;
  }
  bool Finish()
  {
    if (Size == 0)
      return false;
    if (Overflow)
    {
      *Dest = 0;
      return false;
    }
    Dest[Len] = 0;
    return true;
  }
};

void PutNumber(Output &out, int value, int width, bool zeroPad)
{
  char digits[16];
  int n = 0;
  unsigned int v = value < 0 ? 0u - (unsigned int)value : (unsigned int)value;
  do
  {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  if (value < 0)
    out.Put("-", 1);
  for (int i = n; i < width; i++)
    out.Put(zeroPad ? "0" : " ", 1);
  while (n)
    out.Put(&digits[--n], 1);
}

} // namespace

bool FormatText(char *dest, size_t size, const char *format, ...)
{
  Output out = {dest, size, 0, false};
  va_list args;
  va_start(args, format);
  for (const char *p = format; *p; p++)
  {
    if (*p != '%')
    {
      out.Put(p, 1);
      continue;
    }
    p++;
    bool zeroPad = false;
    int width = 0;
    if (*p == '0')
    {
      zeroPad = true;
      p++;
    }
    while (*p >= '0' && *p <= '9')
      width = width * 10 + (*p++ - '0');
    if (*p == 's')
    {
      const char *s = va_arg(args, const char *);
      out.Put(s, strlen(s));
    }
    else if (*p == 'd')
      PutNumber(out, va_arg(args, int), width, zeroPad);
    else if (*p == '%')
      out.Put("%", 1);
    else
      break; // not a format of this program; stop rather than guess
  }
  va_end(args);
  return out.Finish();
}

bool FormatWithText(char *dest, size_t size, const char *format, const char *arg)
{
  Output out = {dest, size, 0, false};
  bool used = false;
  for (const char *p = format; *p; p++)
  {
    if (p[0] == '%' && p[1] == '%')
    {
      out.Put("%", 1);
      p++;
    }
    else if (p[0] == '%' && p[1] == 's' && !used)
    {
      out.Put(arg, strlen(arg));
      used = true;
      p++;
    }
    else
      out.Put(p, 1);
  }
  return out.Finish();
}

char *TrimLineEnd(char *str)
{
  size_t len = strlen(str);
  while (len > 0)
  {
    char c = str[len - 1];
    if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
      break;
    str[--len] = 0;
  }
  return str;
}

bool StartsWithNoCase(const char *text, const char *prefix)
{
  for (; *prefix; prefix++, text++)
  {
    char a = *text, b = *prefix;
    if (a >= 'A' && a <= 'Z')
      a = (char)(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z')
      b = (char)(b - 'A' + 'a');
    if (a != b)
      return false;
  }
  return true;
}
