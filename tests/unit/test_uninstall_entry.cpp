#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "integration/uninstall_entry.h"
#include "uninstall/uninstall_list.h"

namespace {

// A VS_VERSIONINFO node as resource compilers write it: length, value
// length, type (1 text), UTF-16 key, then value and children, each aligned
// to 4 bytes. Nodes are placed at multiples of 4, so aligning within the
// node aligns within the block.
typedef std::basic_string<unsigned char> Bytes;

void Pad(Bytes &b)
{
  while (b.size() % 4)
    b.push_back(0);
}

Bytes Utf16(const std::u16string &s)
{
  Bytes b;
  for (char16_t c : s)
  {
    b.push_back((unsigned char)(c & 0xFF));
    b.push_back((unsigned char)(c >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

Bytes Node(const std::u16string &key, const Bytes &value, unsigned valueLength, unsigned type,
           const std::vector<Bytes> &children = {})
{
  Bytes b(6, 0);
  b += Utf16(key);
  Pad(b);
  b += value;
  for (const Bytes &child : children)
  {
    Pad(b);
    b += child;
  }
  b[0] = (unsigned char)(b.size() & 0xFF);
  b[1] = (unsigned char)(b.size() >> 8);
  b[2] = (unsigned char)(valueLength & 0xFF);
  b[3] = (unsigned char)(valueLength >> 8);
  b[4] = (unsigned char)type;
  return b;
}

Bytes Text(const std::u16string &key, const std::u16string &value)
{
  return Node(key, Utf16(value), (unsigned)value.size() + 1, 1);
}

Bytes Block(const std::vector<Bytes> &strings, const std::u16string &rootKey = u"VS_VERSION_INFO")
{
  Bytes fixed(52, 0);
  const unsigned char signature[] = {0xBD, 0x04, 0xEF, 0xFE}; // 0xFEEF04BD
  fixed.replace(0, 4, signature, 4);
  Bytes translation = {0x09, 0x04, 0xE4, 0x04};
  return Node(rootKey, fixed, 52, 0,
              {Node(u"StringFileInfo", Bytes(), 0, 1, {Node(u"040904E4", Bytes(), 0, 1, strings)}),
               Node(u"VarFileInfo", Bytes(), 0, 1, {Node(u"Translation", translation, 4, 0)})});
}

std::wstring Find(const Bytes &block, const char *name, size_t size = 64)
{
  std::vector<wchar_t> out(size, L'#');
  if (!FindVersionText(block.data(), block.size(), name, out.data(), out.size()))
  {
    EXPECT_EQ(L'\0', out[0]) << name;
    return L"(none)";
  }
  return out.data();
}

TEST(VersionInfo, FindsTheStringValuesByName)
{
  Bytes block = Block({Text(u"CompanyName", u"Quabix"), Text(u"FileVersion", u"1.0.0.0"),
                       Text(u"ProductVersion", u"2.5 beta"), Text(u"Comments", u"\u00c4\u05d0")});
  EXPECT_EQ(L"Quabix", Find(block, "CompanyName"));
  EXPECT_EQ(L"2.5 beta", Find(block, "productversion"));
  EXPECT_EQ(std::wstring(L"\u00c4\u05d0"), Find(block, "Comments"));
  EXPECT_EQ(L"(none)", Find(block, "Company"));
  EXPECT_EQ(L"(none)", Find(block, "LegalCopyright"));
  EXPECT_EQ(L"(none)", Find(block, "Translation")); // a binary value elsewhere
  EXPECT_EQ(L"(none)", Find(Block({Text(u"CompanyName", u"")}), "CompanyName"));
  EXPECT_EQ(L"(none)", Find(Block({Text(u"CompanyName", u"Q")}, u"VS_OTHER_INFO"), "CompanyName"));
}

TEST(VersionInfo, ATextThatDoesNotFitIsRefused)
{
  Bytes block = Block({Text(u"ProductVersion", u"1.0.0.0")});
  EXPECT_EQ(L"(none)", Find(block, "ProductVersion", 7));
  EXPECT_EQ(L"1.0.0.0", Find(block, "ProductVersion", 8));
}

TEST(VersionInfo, LengthsOutsideTheBlockAreRefused)
{
  Bytes block = Block({Text(u"CompanyName", u"Quabix")});
  // Every block cut short, each in a buffer of exactly its size.
  for (size_t n = 0; n < block.size(); n++)
  {
    Bytes cut = block.substr(0, n);
    EXPECT_EQ(L"(none)", Find(cut, "CompanyName")) << n;
  }
  // A text node claiming more than its parent holds.
  Bytes key = Utf16(u"CompanyName");
  size_t text = block.find(key) - 6;
  Bytes longer = block;
  longer[text] = 0xF0;
  EXPECT_EQ(L"(none)", Find(longer, "CompanyName"));
}

// The uninstall list as a byte source, and file sizes by full path.
struct ListFiles
{
  std::string List;
  size_t Pos = 0;
  std::map<std::string, unsigned long long> Sizes;
  std::vector<std::string> Probed;
  bool FailAtEnd = false; // the source fails where the list ends
};

int ReadList(void *context, char *buffer, int count)
{
  ListFiles *f = static_cast<ListFiles *>(context);
  if (f->FailAtEnd && f->Pos == f->List.size())
    return -1;
  int n = (int)std::min<size_t>((size_t)count, f->List.size() - f->Pos);
  memcpy(buffer, f->List.data() + f->Pos, n);
  f->Pos += n;
  return n;
}

bool Probe(void *context, const char *path, unsigned long long *size)
{
  ListFiles *f = static_cast<ListFiles *>(context);
  f->Probed.push_back(path);
  auto it = f->Sizes.find(path);
  if (it == f->Sizes.end())
    return false;
  *size = it->second;
  return true;
}

unsigned long Kb(ListFiles &f, const char *folder = "C:\\Q\\")
{
  ListReader reader;
  InitListReader(reader, ReadList, &f);
  return ListedFilesKb(reader, folder, Probe, &f);
}

TEST(ListedSize, SumsTheListedFilesInKilobytesRoundedUp)
{
  ListFiles f;
  EXPECT_EQ(0u, Kb(f));
  f.List = "a.exe\r\nsub\\b.dll  \r\n\r\nsub\r\nmissing.txt\r\nc.txt";
  f.Sizes = {{"C:\\Q\\a.exe", 1024}, {"C:\\Q\\sub\\b.dll", 1}, {"C:\\Q\\sub", 0}, {"C:\\Q\\c.txt", 0}};
  EXPECT_EQ(2u, Kb(f));
  ListFiles big;
  big.List = "a\nb\n";
  big.Sizes = {{"C:\\Q\\a", 0xFFFFFFFFull * 1024}, {"C:\\Q\\b", 1}};
  EXPECT_EQ(0xFFFFFFFFul, Kb(big));
  // A read that fails ends the count with what was whole before it.
  ListFiles failing;
  failing.List = "a.exe\r\nsettings.ini.";
  failing.FailAtEnd = true;
  failing.Sizes = {{"C:\\Q\\a.exe", 2048}, {"C:\\Q\\settings.ini.", 1 << 20}};
  EXPECT_EQ(2u, Kb(failing));
}

TEST(ListedSize, EntriesTheUninstallRefusesAreNotCounted)
{
  ListFiles f;
  f.List = "..\\outside.dat\n. . \\x\\..\\..\\y\n*.dll\nq?.txt\n" + std::string("a\0b\n", 4) + std::string(3000, 'c') +
           "\nok\n";
  f.Sizes = {{"C:\\Q\\ok", 5000}};
  EXPECT_EQ(5u, Kb(f));
  EXPECT_EQ(std::vector<std::string>{"C:\\Q\\ok"}, f.Probed);
  // A joined path that would not fit is not cut short into another name.
  ListFiles deep;
  deep.List = std::string(1020, 'd') + "\nok\n";
  deep.Sizes = {{"C:\\Q\\ok", 1}, {"C:\\Q\\" + std::string(1018, 'd'), 1 << 20}};
  EXPECT_EQ(1u, Kb(deep));
}

} // namespace
