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

const char kRevExt[] = ".rev";
const char kRevDocType[] = "Quabix.REV";

bool IsDocType(const char *type)
{
  return CompareTextNoCase(type, kDocType) == 0 || CompareTextNoCase(type, kZipDocType) == 0 ||
         CompareTextNoCase(type, kRevDocType) == 0;
}

// Whether ".rev" is bound to the archiver's recovery volume type.
bool IsRevBound()
{
  char owner[80];
  GetRegString(HKEY_CLASSES_ROOT, kRevExt, "", owner, "", sizeof(owner));
  return CompareTextNoCase(owner, kRevDocType) == 0;
}

// The saved association of an extension and its ShellNew key, each of
// kKeySize bytes.
bool RecordPaths(const char *ext, char *saved, char *shellNew)
{
  return FormatText(shellNew, kKeySize, "%s\\ShellNew", ext) && FormatText(saved, kKeySize, "Setup\\%s", ext);
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

// Every key that setup binds to one of the archiver's types (the 14 types'
// extensions, the volume extensions, ".rev") keeps its previous owner so.
void SaveUnlessOwn(const char *ext, bool own)
{
  char saved[kKeySize], shellNew[kKeySize];
  if (!own && RecordPaths(ext, saved, shellNew) && !IsHalfMadeByEarlierRun(ext, saved))
    SaveAssociation(ext, saved, shellNew);
}

void Associate(const char *ext, const char *shellNew, bool shellIntegration, bool qbxRow, bool zipRow)
{
  SaveUnlessOwn(ext, IsOwnAssociation(ext));
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
      SaveUnlessOwn(volume, IsOwnAssociation(volume));
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

// A saved association as the give-back reads it. existedDefault is what a
// missing record means: the 14 types' extensions count as having existed,
// volume keys and ".rev", whose records older setups did not write, as not.
struct SavedAssociation
{
  bool Existed;
  char Type[512];     // empty also when it names one of the archiver's types
  char Content[512];
  char ShellNew[kPathSize];
};

void ReadSavedAssociation(const char *saved, DWORD existedDefault, SavedAssociation &record)
{
  record.Existed = GetSavedDword(saved, "Exist", existedDefault) != 0;
  GetSavedString(saved, "Type", record.Type, "", sizeof(record.Type));
  if (IsDocType(record.Type))
    record.Type[0] = 0;
  GetSavedString(saved, "Content", record.Content, "", sizeof(record.Content));
  GetSavedString(saved, "ShellNew", record.ShellNew, "", sizeof(record.ShellNew));
}

// The saved owner's type and content type back, or the key released when
// it had no owner.
void RestoreOrRelease(const char *key, const SavedAssociation &record)
{
  if (!record.Existed)
  {
    ReleaseKey(key);
    return;
  }
  if (record.Content[0])
    SetRegString(HKEY_CLASSES_ROOT, key, "Content Type", record.Content);
  else
    DeleteRegValue(HKEY_CLASSES_ROOT, key, "Content Type");
  SetRegString(HKEY_CLASSES_ROOT, key, "", record.Type);
}

void GiveBack(const char *ext, const char *saved, const char *shellNew, bool qbxRow, bool zipRow)
{
  // Another program may have taken the extension since setup: its own value
  // is then the new owner's, but setup's template values and the volume keys
  // that are still the archiver's go all the same.
  bool own = IsOwnAssociation(ext);
  SavedAssociation record;
  ReadSavedAssociation(saved, 1, record);
  // The extension's default value says that the give-back is not done yet,
  // so it changes last: a run stopped on the way is finished by the next.
  // Only volume keys that are still the archiver's: setup took 30 on the NT
  // family and 100 on the 9x family, and the others belong to whoever owns
  // them.
  for (int i = 0; qbxRow && i < kVolumeExtensionCount; i++)
  {
    char volume[kExtSize], volumeSaved[kKeySize], volumeShellNew[kKeySize];
    if (!FormatVolumeExtension(i, volume, sizeof(volume)) || !RecordPaths(volume, volumeSaved, volumeShellNew) ||
        !IsOwnAssociation(volume))
      continue;
    SavedAssociation previous;
    ReadSavedAssociation(volumeSaved, 0, previous);
    switch (DecideVolumeGiveBack(true, previous.Existed, previous.Type, record.Existed, record.Type))
    {
    case kVolumeRestoreOwn:
      RestoreOrRelease(volume, previous);
      break;
    case kVolumeRestore:
      RestoreOrRelease(volume, record);
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
    if (own && record.Existed && record.ShellNew[0] == '*')
      SetRegString(HKEY_CLASSES_ROOT, shellNew, "NullFile", "");
    else if (own && record.Existed && record.ShellNew[0])
      SetRegString(HKEY_CLASSES_ROOT, shellNew, "FileName", record.ShellNew);
    // Setup replaced the key of an extension that is still the archiver's:
    // left empty, it is setup's, also when a run stopped after taking the
    // template value away left it so.
    else if (setupMadeIt || own)
      DeleteRegKeyIfEmpty(HKEY_CLASSES_ROOT, shellNew);
  }
  if (own)
    RestoreOrRelease(ext, record);
}

} // namespace

void ApplyExtensionAssociation(const char *ext, bool associate, bool shellIntegration, bool qbxRow, bool zipRow)
{
  PrepareTemplates();
  char shellNew[kKeySize], saved[kKeySize];
  if (!RecordPaths(ext, saved, shellNew))
    return;
  if (associate)
    Associate(ext, shellNew, shellIntegration, qbxRow, zipRow);
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
    SaveUnlessOwn(kRevExt, IsRevBound());
    SetRegString(HKEY_CLASSES_ROOT, kRevExt, "", kRevDocType);
    RegisterDocumentType(kRevDocType, IDS_TYPE_RECOVERY, command, volumeIcon);
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
}

void GiveBackRevBinding()
{
  char saved[kKeySize], shellNew[kKeySize];
  if (!RecordPaths(kRevExt, saved, shellNew))
    return;
  if (IsRevBound())
  {
    SavedAssociation record;
    ReadSavedAssociation(saved, 0, record);
    RestoreOrRelease(kRevExt, record);
  }
  else if (IsHalfMadeByEarlierRun(kRevExt, saved))
    DeleteRegLeafKey(HKEY_CLASSES_ROOT, kRevExt);
}
