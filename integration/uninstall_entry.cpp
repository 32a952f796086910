#include "integration/uninstall_entry.h"

#include <string.h>

#include "uninstall/uninstall_list.h"
#include "util/path.h"

namespace {

// A node of the version resource: a length, a value length, a type, a
// NUL-terminated UTF-16 key, then (each aligned to 4 bytes) the value and
// the child nodes. Offsets are from the start of the block.
struct VersionNode
{
  size_t End;        // one past the node
  size_t Key;        // first unit of the key
  size_t KeyEnd;     // its terminating NUL
  size_t Value;      // the value, or End when the node holds none
  size_t ValueLength; // as the node declares it (not checked)
};

unsigned Unit(const unsigned char *b, size_t at) { return b[at] | (unsigned)b[at + 1] << 8; }
size_t Align4(size_t at) { return (at + 3) & ~(size_t)3; }

// Reads the node at pos, which must lie whole before limit.
bool ReadNode(const unsigned char *b, size_t pos, size_t limit, VersionNode &node)
{
  if (pos > limit || limit - pos < 6)
    return false;
  size_t length = Unit(b, pos);
  if (length < 6 || length > limit - pos)
    return false;
  node.End = pos + length;
  node.Key = pos + 6;
  size_t k = node.Key;
  while (node.End - k >= 2 && Unit(b, k) != 0)
    k += 2;
  if (node.End - k < 2)
    return false; // a key without its NUL
  node.KeyEnd = k;
  node.Value = Align4(k + 2);
  if (node.Value > node.End)
    node.Value = node.End;
  node.ValueLength = Unit(b, pos + 2);
  return true;
}

bool KeyIs(const unsigned char *b, const VersionNode &node, const char *name)
{
  size_t k = node.Key;
  for (; *name; name++, k += 2)
  {
    if (k == node.KeyEnd)
      return false;
    unsigned a = Unit(b, k), c = (unsigned char)*name;
    if (a >= 'A' && a <= 'Z')
      a += 'a' - 'A';
    if (c >= 'A' && c <= 'Z')
      c += 'a' - 'A';
    if (a != c)
      return false;
  }
  return k == node.KeyEnd;
}

// Calls visit for each child of node, in order, until it returns true.
// True when a visit did.
template <class Visit> bool ForEachChild(const unsigned char *b, const VersionNode &node, size_t first, Visit visit)
{
  VersionNode child;
  for (size_t pos = first; pos < node.End; pos = Align4(child.End))
  {
    if (!ReadNode(b, pos, node.End, child))
      return false;
    if (visit(child))
      return true;
  }
  return false;
}

} // namespace

bool FindVersionText(const void *block, size_t size, const char *name, wchar_t *out, size_t size_out)
{
  const unsigned char *b = static_cast<const unsigned char *>(block);
  if (size_out == 0)
    return false;
  out[0] = 0;
  VersionNode root;
  if (!b || !ReadNode(b, 0, size, root) || !KeyIs(b, root, "VS_VERSION_INFO"))
    return false;
  // The children follow the fixed part (VS_FIXEDFILEINFO), whose length
  // the root gives in bytes.
  size_t first = root.ValueLength > root.End - root.Value ? root.End : Align4(root.Value + root.ValueLength);
  bool found = false;
  ForEachChild(b, root, first, [&](const VersionNode &info) {
    if (!KeyIs(b, info, "StringFileInfo"))
      return false;
    return ForEachChild(b, info, info.Value, [&](const VersionNode &table) {
      return ForEachChild(b, table, table.Value, [&](const VersionNode &text) {
        if (!KeyIs(b, text, name))
          return false;
        // The text runs to its NUL or to the node's end, whatever length
        // the node declares.
        size_t n = 0;
        for (size_t at = text.Value; text.End - at >= 2 && Unit(b, at) != 0; at += 2)
        {
          if (n + 1 >= size_out)
            return true; // found, but does not fit: refused
          out[n++] = (wchar_t)Unit(b, at);
        }
        out[n] = 0;
        found = n > 0;
        return true;
      });
    });
  });
  if (!found)
    out[0] = 0; // also after a text that did not fit
  return found;
}

unsigned long ListedFilesKb(ListReader &reader, const char *folder, FileSizeProbe probe, void *context)
{
  const unsigned long long kMaxBytes = 0xFFFFFFFFull * 1024;
  unsigned long long total = 0;
  char line[kListLineSize];
  char path[kPathSize];
  ListEntryKind kind;
  // A read that fails ends the count: the reader reports it until rewound.
  while ((kind = ReadListEntry(reader, line, sizeof(line))) != ListEnd && kind != ListFailed)
  {
    if (kind == ListRefused || line[0] == 0 || strpbrk(line, "*?") || !IsEntryInsideFolder(line) ||
        !JoinListPath(path, sizeof(path), folder, line))
      continue;
    unsigned long long bytes = 0;
    if (probe(context, path, &bytes))
      total = bytes > kMaxBytes - total ? kMaxBytes : total + bytes;
  }
  return (unsigned long)((total + 1023) / 1024);
}
