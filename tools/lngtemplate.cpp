// lngtemplate: writes a template "uninstall.lng" for translators.
//
//   lngtemplate <uninstall.exe> [<qbxlng.dll>] <output.lng>
//
// One entry line for every string of the tool's string table, every dialog
// caption and control text, every dialog's size entry and the reading
// direction, each under a comment that says where the text appears. The
// keys are the ones the tool computes at run time: strings are keyed by the
// English text of uninstall.exe (a language file never uses a DLL's
// strings), dialog texts by the texts of the dialogs that the tool shows,
// which are the language DLL's when one is given.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "lang/language_file.h"

namespace {

const char *const kDialogs[] = {"SETUPDLG", "DONEDLG", "CONTEXTITEMS"};
const UINT kFirstString = 5101, kLastString = 5114;

struct Output
{
  HANDLE File;
  bool Failed;
  void Put(const char *text)
  {
    DWORD len = (DWORD)strlen(text), written = 0;
    if (!WriteFile(File, text, len, &written, NULL) || written != len)
      Failed = true;
  }
};

// Writes text as the language file reads it back: backslashes, quotes and
// line breaks escaped.
void PutEscaped(Output &out, const char *text)
{
  char one[2] = {0, 0};
  for (const char *p = text; *p; p++)
  {
    switch (*p)
    {
    case '\\': out.Put("\\\\"); break;
    case '"': out.Put("\\\""); break;
    case '\n': out.Put("\\n"); break;
    case '\r': out.Put("\\r"); break;
    case '\t': out.Put("\\t"); break;
    default: one[0] = *p; out.Put(one);
    }
  }
}

void PutEntry(Output &out, const char *comment, char classByte, const char *context, const char *english,
              const char *shown)
{
  char key[9];
  MakeTextKey(key, classByte, context, english);
  out.Put("; ");
  out.Put(comment);
  out.Put("\r\n");
  out.Put(key);
  out.Put("=\"");
  PutEscaped(out, shown);
  out.Put("\"\r\n");
}

// A dialog template, read field by field; texts are turned into the ANSI
// code page the way the dialog's windows report them.
struct TemplateReader
{
  const BYTE *Pos;
  const BYTE *End;
  bool Bad;

  WORD Word()
  {
    if (Pos + 2 > End)
    {
      Bad = true;
      return 0;
    }
    WORD w = (WORD)(Pos[0] | Pos[1] << 8);
    Pos += 2;
    return w;
  }
  DWORD Dword()
  {
    DWORD lo = Word();
    return lo | (DWORD)Word() << 16;
  }
  void Skip(size_t n)
  {
    if (Pos + n > End)
      Bad = true;
    else
      Pos += n;
  }
  void Align(const BYTE *base)
  {
    while (((Pos - base) & 3) != 0 && Pos < End)
      Pos++;
  }
  // A string or an ordinal. Returns false for an ordinal (or nothing).
  bool Text(char *out, size_t size, WORD *ordinal = NULL)
  {
    out[0] = 0;
    WORD first = Word();
    if (first == 0xFFFF)
    {
      WORD value = Word();
      if (ordinal)
        *ordinal = value;
      return false;
    }
    if (first == 0)
      return false;
    const BYTE *start = Pos - 2;
    while (!Bad && first)
      first = Word();
    if (Bad)
      return false;
    int chars = (int)((Pos - start) / 2);
    WCHAR wide[1024];
    if (chars > 1024)
      return false;
    memcpy(wide, start, chars * 2);
    if (!WideCharToMultiByte(CP_ACP, 0, wide, chars, out, (int)size, NULL, NULL))
      out[0] = 0;
    return true;
  }
};

const char *ControlKind(WORD ordinal, const char *named, DWORD style)
{
  switch (ordinal)
  {
  case 0x80:
    switch (style & 0x0F)
    {
    case BS_GROUPBOX: return "group box";
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE: return "check box";
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return "option button";
    }
    return "button";
  case 0x81: return "edit";
  case 0x82: return "static text";
  case 0x83: return "list box";
  case 0x84: return "scroll bar";
  case 0x85: return "combo box";
  }
  return named[0] ? named : "control";
}

bool PutDialog(Output &out, HMODULE module, const char *name)
{
  HRSRC resource = FindResourceA(module, name, RT_DIALOG);
  HGLOBAL loaded = resource ? LoadResource(module, resource) : NULL;
  if (!loaded)
  {
    fprintf(stderr, "lngtemplate: no dialog %s\n", name);
    return false;
  }
  const BYTE *base = (const BYTE *)LockResource(loaded);
  TemplateReader r = {base, base + SizeofResource(module, resource), false};
  bool extended = r.Pos + 4 <= r.End && r.Pos[0] == 1 && r.Pos[1] == 0 && r.Pos[2] == 0xFF && r.Pos[3] == 0xFF;
  DWORD style;
  WORD count;
  if (extended)
  {
    r.Skip(4 + 4 + 4); // version, signature, help id, extended style
    style = r.Dword();
  }
  else
  {
    style = r.Dword();
    r.Skip(4);
  }
  count = r.Word();
  r.Skip(8); // position and size
  char text[1024], cls[256];
  r.Text(cls, sizeof(cls)); // menu
  r.Text(cls, sizeof(cls)); // class
  r.Text(text, sizeof(text));
  char comment[1300];
  snprintf(comment, sizeof(comment), "%s: caption", name);
  // The caption is translated even when it is empty.
  PutEntry(out, comment, '$', name, text, text);
  if (style & (DS_SETFONT | DS_SHELLFONT))
  {
    r.Skip(extended ? 6 : 2); // point size (and weight, italic, character set)
    r.Text(cls, sizeof(cls));
  }
  for (WORD i = 0; i < count && !r.Bad; i++)
  {
    r.Align(base);
    DWORD id, itemStyle;
    if (extended)
    {
      r.Skip(4 + 4); // help id, extended style
      itemStyle = r.Dword();
      r.Skip(8); // position and size
      id = r.Dword();
    }
    else
    {
      itemStyle = r.Dword();
      r.Skip(4 + 8);
      id = r.Word();
    }
    WORD ordinal = 0;
    r.Text(cls, sizeof(cls), &ordinal);
    bool hasText = r.Text(text, sizeof(text));
    WORD extra = r.Word();
    r.Skip(extra);
    if (!hasText || text[0] == 0)
      continue; // empty texts are left alone at run time
    snprintf(comment, sizeof(comment), "%s: %s %d", name, ControlKind(ordinal, cls, itemStyle), (int)(short)id);
    PutEntry(out, comment, '$', name, text, text);
  }
  snprintf(comment, sizeof(comment), "%s: size, percent of the width * percent of the height", name);
  PutEntry(out, comment, '$', name, "", "100*100");
  if (r.Bad)
    fprintf(stderr, "lngtemplate: dialog %s is damaged\n", name);
  return !r.Bad;
}

} // namespace

int main(int argc, char **argv)
{
  if (argc != 3 && argc != 4)
  {
    fprintf(stderr, "usage: lngtemplate <uninstall.exe> [<qbxlng.dll>] <output.lng>\n");
    return 2;
  }
  HMODULE tool = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
  HMODULE dialogs = argc == 4 ? LoadLibraryExA(argv[2], NULL, LOAD_LIBRARY_AS_DATAFILE) : tool;
  if (!tool || !dialogs)
  {
    fprintf(stderr, "lngtemplate: cannot load %s\n", !tool ? argv[1] : argv[2]);
    return 1;
  }
  const char *name = argv[argc - 1];
  HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE)
  {
    fprintf(stderr, "lngtemplate: cannot write %s\n", name);
    return 1;
  }
  Output out = {file, false};
  out.Put("Quabix Setup language file. Save it as uninstall.lng beside uninstall.exe.\r\n"
          "Everything before the marker line is ignored. After it, each entry line holds a\r\n"
          "text key, \"=\" and the translation in double quotes; write \\n for a line break,\r\n"
          "\\\\ for a backslash. Keep %s where it stands and the & of each mnemonic.\r\n"
          "Lines that are no entry lines, such as the comments, are ignored.\r\n"
          "***messages***\r\n");
  bool ok = true;
  for (UINT id = kFirstString; id <= kLastString; id++)
  {
    char text[512];
    if (LoadStringA(tool, id, text, sizeof(text)) <= 0)
      continue;
    char comment[64];
    snprintf(comment, sizeof(comment), "string %u", id);
    PutEntry(out, comment, 's', NULL, text, text);
  }
  for (size_t i = 0; i < sizeof(kDialogs) / sizeof(kDialogs[0]); i++)
    ok = PutDialog(out, dialogs, kDialogs[i]) && ok;
  PutEntry(out, "reading direction: LTR, or RTL for a language that reads right to left", '$', "LTR", "LTR", "LTR");
  CloseHandle(file);
  if (out.Failed)
  {
    fprintf(stderr, "lngtemplate: writing %s failed\n", name);
    return 1;
  }
  return ok ? 0 : 1;
}
