#include <windows.h>
#include <shlobj.h>

#include "app/resource.h"
#include "integration/association_rules.h"
#include "integration/integration.h"
#include "integration/saved_records.h"
#include "integration/setup_options.h"
#include "lang/lang_string.h"
#include "registry/registry.h"
#include "util/path.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

const size_t kExtSize = 32;   // an extension such as ".tbz2" or ".q07"
const size_t kKeySize = 64;   // "<ext>\ShellNew", "Setup\<ext>"

bool IsDocType(const char *type)
{
  return CompareTextNoCase(type, kDocType) == 0 || CompareTextNoCase(type, kZipDocType) == 0;
}

// The file beside the tool: its own path with another file name.
bool SiblingPath(const char *name, char *out, size_t size)
{
  return GetModulePath(out, size) && ReplaceFileName(out, size, name);
}

bool WriteNewFile(const char *path, const void *data, DWORD size)
{
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, data, size, &written, NULL) && written == size;
  CloseHandle(h);
  return ok != 0;
}

// Explorer's New menu entry of a QBX or ZIP archive.
void RegisterNewArchiveTemplate(const char *shellNew, bool qbxRow)
{
  // The previous entry goes (its "FileName" or "NullFile" is saved); a key
  // with subkeys stays, on the 9x family too.
  DeleteRegLeafKey(HKEY_CLASSES_ROOT, shellNew);
  const unsigned char *image = qbxRow ? g_QbxTemplate : g_ZipTemplate;
  DWORD imageSize = qbxRow ? kQbxTemplateSize : kZipTemplateSize;
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  if (UsesTemplateFile(version.dwMajorVersion, version.dwMinorVersion))
  {
    char path[kPathSize];
    if (!SiblingPath(qbxRow ? "qbxnew.dat" : "zipnew.dat", path, sizeof(path)))
      return;
    if (!FileExists(path))
      WriteNewFile(path, image, imageSize);
    SetRegString(HKEY_CLASSES_ROOT, shellNew, "FileName", path);
  }
  else
    SetRegBinary(HKEY_CLASSES_ROOT, shellNew, "Data", image, imageSize);
}

// Saves what the extension points to before the archiver takes it.
void SaveAssociation(const char *ext, const char *saved, const char *shellNew)
{
  char type[512], content[512], fileName[kPathSize], nullFile[10];
  GetRegString(HKEY_CLASSES_ROOT, ext, "", type, "", sizeof(type));
  GetRegString(HKEY_CLASSES_ROOT, ext, "Content Type", content, "", sizeof(content));
  GetRegString(HKEY_CLASSES_ROOT, shellNew, "FileName", fileName, "", sizeof(fileName));
  bool hasNullFile = GetRegString(HKEY_CLASSES_ROOT, shellNew, "NullFile", nullFile, "", sizeof(nullFile));
  SetSavedDword(saved, "Exist", RegKeyExists(HKEY_CLASSES_ROOT, ext) ? 1 : 0);
  SetSavedString(saved, "Type", type);
  SetSavedString(saved, "Content", content);
  SetSavedString(saved, "ShellNew", fileName[0] ? fileName : hasNullFile ? "*" : "");
}

// An empty extension key where the saved record says there was none: the
// half-made key of an earlier run stopped between creating it and setting
// its type. That record still tells the truth, and is kept.
bool IsHalfMadeByEarlierRun(const char *ext, const char *saved)
{
  return GetSavedDword(saved, "Exist", 1) == 0 && IsRegKeyEmpty(HKEY_CLASSES_ROOT, ext);
}

void Associate(const char *ext, const char *saved, const char *shellNew, bool shellIntegration, bool qbxRow,
               bool zipRow)
{
  if (!IsOwnAssociation(ext) && !IsHalfMadeByEarlierRun(ext, saved))
    SaveAssociation(ext, saved, shellNew);
  SetRegString(HKEY_CLASSES_ROOT, ext, "", zipRow ? kZipDocType : kDocType);
  DeleteRegValue(HKEY_CLASSES_ROOT, ext, "Content Type");
  if (qbxRow)
  {
    int count = VolumeExtensionCount(WinNtMajorVersion() != 0);
    for (int i = 0; i < count; i++)
    {
      char volume[kExtSize];
      if (!FormatVolumeExtension(i, volume, sizeof(volume)))
        continue;
      SetRegString(HKEY_CLASSES_ROOT, volume, "", kDocType);
      DeleteRegValue(HKEY_CLASSES_ROOT, volume, "Content Type");
    }
  }
  if (shellIntegration && (qbxRow || zipRow))
    RegisterNewArchiveTemplate(shellNew, qbxRow);
}

// Takes the archiver's entry of Explorer's New menu away from a QBX or ZIP
// extension: only the template values that setup writes ("FileName" naming
// the template file, "Data" holding its bytes). True when one was there.
bool RemoveNewArchiveTemplate(const char *shellNew, bool qbxRow)
{
  bool removed = false;
  char fileName[kPathSize];
  if (GetRegString(HKEY_CLASSES_ROOT, shellNew, "FileName", fileName, "", sizeof(fileName)) &&
      IsTemplateFileName(fileName, qbxRow))
  {
    DeleteRegValue(HKEY_CLASSES_ROOT, shellNew, "FileName");
    removed = true;
  }
  unsigned char data[kZipTemplateSize + 1]; // one byte more: a longer value is not ours
  DWORD len;
  if (GetRegBytes(HKEY_CLASSES_ROOT, shellNew, "Data", data, sizeof(data), &len) &&
      IsTemplateData(data, len, qbxRow))
  {
    DeleteRegValue(HKEY_CLASSES_ROOT, shellNew, "Data");
    removed = true;
  }
  return removed;
}

// Unbinds a key whose default value is the archiver's type and which had no
// owner before: the value goes, and the key only when nothing is left in it.
// A subkey or value there is another program's (an OpenWithProgids or
// PersistentHandler subkey, say), so the key is never deleted as a tree,
// which RegDeleteKeyA does on the 9x family.
void ReleaseKey(const char *key)
{
  // Holding nothing but the archiver's default value, the key goes in one
  // step: removing the value first would leave, were the run stopped in
  // between, an empty key that no later run knows as the archiver's.
  DWORD subkeys, values;
  if (GetRegKeyCounts(HKEY_CLASSES_ROOT, key, &subkeys, &values) && subkeys == 0 && values <= 1 &&
      DeleteRegLeafKey(HKEY_CLASSES_ROOT, key))
    return;
  DeleteRegValue(HKEY_CLASSES_ROOT, key, "");
  DeleteRegKeyIfEmpty(HKEY_CLASSES_ROOT, key);
}

void GiveBack(const char *ext, const char *saved, const char *shellNew, bool qbxRow, bool zipRow)
{
  // Never the archiver's, or another program has taken it since.
  if (!IsOwnAssociation(ext))
    return;
  bool existed = GetSavedDword(saved, "Exist", 1) != 0;
  char type[512], content[512];
  GetSavedString(saved, "Type", type, "", sizeof(type));
  if (IsDocType(type))
    type[0] = 0;
  GetSavedString(saved, "Content", content, "", sizeof(content));
  // The extension's default value says that the give-back is not done yet,
  // so it changes last: a run stopped on the way is finished by the next.
  // Only volume keys that are still the archiver's: setup took 30 on the NT
  // family and 100 on the 9x family, and the others belong to whoever owns
  // them.
  for (int i = 0; qbxRow && i < kVolumeExtensionCount; i++)
  {
    char volume[kExtSize];
    if (!FormatVolumeExtension(i, volume, sizeof(volume)))
      continue;
    switch (DecideVolumeGiveBack(IsOwnAssociation(volume), existed, type))
    {
    case kVolumeRestore:
      if (content[0])
        SetRegString(HKEY_CLASSES_ROOT, volume, "Content Type", content);
      SetRegString(HKEY_CLASSES_ROOT, volume, "", type);
      break;
    case kVolumeRelease:
      ReleaseKey(volume);
      break;
    case kVolumeLeave:
      break;
    }
  }
  // Setup writes a ShellNew entry for these two rows only; every other
  // extension's ShellNew key is another program's and stays as it is.
  if (qbxRow || zipRow)
  {
    bool setupMadeIt = RemoveNewArchiveTemplate(shellNew, qbxRow);
    char shellNewFile[kPathSize];
    GetSavedString(saved, "ShellNew", shellNewFile, "", sizeof(shellNewFile));
    if (existed && shellNewFile[0] == '*')
      SetRegString(HKEY_CLASSES_ROOT, shellNew, "NullFile", "");
    else if (existed && shellNewFile[0])
      SetRegString(HKEY_CLASSES_ROOT, shellNew, "FileName", shellNewFile);
    else if (setupMadeIt)
      DeleteRegKeyIfEmpty(HKEY_CLASSES_ROOT, shellNew);
  }
  if (existed)
  {
    if (content[0])
      SetRegString(HKEY_CLASSES_ROOT, ext, "Content Type", content);
    else
      DeleteRegValue(HKEY_CLASSES_ROOT, ext, "Content Type");
    SetRegString(HKEY_CLASSES_ROOT, ext, "", type);
  }
  else
    ReleaseKey(ext);
}

} // namespace

void ApplyExtensionAssociation(const char *ext, bool associate, bool shellIntegration, bool qbxRow, bool zipRow)
{
  PrepareTemplates();
  char shellNew[kKeySize], saved[kKeySize];
  if (!FormatText(shellNew, sizeof(shellNew), "%s\\ShellNew", ext) ||
      !FormatText(saved, sizeof(saved), "Setup\\%s", ext))
    return;
  if (associate)
    Associate(ext, saved, shellNew, shellIntegration, qbxRow, zipRow);
  else
    GiveBack(ext, saved, shellNew, qbxRow, zipRow);
}

void ApplyAssociations(const SetupOptions &options)
{
  for (int row = 0; row < kArchiveTypeCount; row++)
  {
    const char *list = g_ArchiveTypes[row].Extensions;
    char ext[kExtSize];
    while (NextExtension(list, ext, sizeof(ext)))
      ApplyExtensionAssociation(ext, options.Associations[row] != 0, options.ShellExt != 0, row == kQbxRow,
                                row == kZipRow);
  }
}

namespace {
// A document type: its name, its open command, and its icon unless the
// user has set one.
void RegisterDocumentType(const char *type, UINT nameId, const char *command, const char *icon)
{
  char key[kKeySize];
  SetRegString(HKEY_CLASSES_ROOT, type, "", GetLangString(nameId));
  if (FormatText(key, sizeof(key), "%s\\shell\\open\\command", type))
    SetRegString(HKEY_CLASSES_ROOT, key, "", command);
  if (!FormatText(key, sizeof(key), "%s\\DefaultIcon", type))
    return;
  char current[kPathSize];
  GetRegString(HKEY_CLASSES_ROOT, key, "", current, "", sizeof(current));
  if (current[0] == 0)
    SetRegString(HKEY_CLASSES_ROOT, key, "", icon);
}
} // namespace

void RegisterDocumentTypes()
{
  char archiver[kPathSize];
  char command[kPathSize + 16], archiveIcon[kPathSize + 8], volumeIcon[kPathSize + 8];
  if (SiblingPath("Quabix.exe", archiver, sizeof(archiver)) &&
      FormatText(command, sizeof(command), "\"%s\" \"%%1\"", archiver) &&
      FormatText(archiveIcon, sizeof(archiveIcon), "%s,0", archiver) &&
      FormatText(volumeIcon, sizeof(volumeIcon), "%s,1", archiver))
  {
    RegisterDocumentType(kDocType, IDS_TYPE_ARCHIVE, command, archiveIcon);
    RegisterDocumentType(kZipDocType, IDS_TYPE_ZIP, command, archiveIcon);
    SetRegString(HKEY_CLASSES_ROOT, ".rev", "", "Quabix.REV");
    RegisterDocumentType("Quabix.REV", IDS_TYPE_RECOVERY, command, volumeIcon);
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
}
