// What the associations and the shell extension write and take back,
// computed without Windows: the extension lists, the volume extensions, the
// new-archive templates, the Windows versions that take a template file, and
// what the give-back may remove.
#pragma once
#include <stddef.h>

// Takes the next extension of a stored list such as ".lzh.lha": copies it
// into out and moves list past it. False at the end of the list, or when
// the extension does not fit (which no list of the program does).
bool NextExtension(const char *&list, char *out, size_t size);

// ".q00" to ".q99": the volume extensions of QBX archives.
const int kVolumeExtensionCount = 100;
bool FormatVolumeExtension(int number, char *out, size_t size);
// 30 when the QBX type is associated on the NT family, 100 on the 9x family.
// The give-back looks at all 100 (setup may have run on either family) and
// changes only those that are still the archiver's.
int VolumeExtensionCount(bool ntFamily);

// Windows Me, Windows 2000 and later take a template file ("FileName");
// Windows 95, 98 and NT 4.0 take the template bytes ("Data").
bool UsesTemplateFile(unsigned int major, unsigned int minor);

const size_t kQbxTemplateSize = 20;
const size_t kZipTemplateSize = 22;

// The bytes of an empty QBX and an empty ZIP archive. Their first bytes are
// zero until PrepareTemplates stores them, so the executable never holds
// either signature whole (a scanner would take it for an archive).
extern unsigned char g_QbxTemplate[kQbxTemplateSize];
extern unsigned char g_ZipTemplate[kZipTemplateSize];
void PrepareTemplates();

// True when a ShellNew "FileName" names the template file that setup writes
// for the row ("qbxnew.dat" for QBX, "zipnew.dat" for ZIP), whatever folder
// and letter case it is given in: the tool may be started under another
// spelling of its folder (a short name) than the one setup wrote.
bool IsTemplateFileName(const char *value, bool qbxRow);
// True when a ShellNew "Data" value holds exactly the row's template bytes.
// PrepareTemplates must have run.
bool IsTemplateData(const unsigned char *data, size_t size, bool qbxRow);

// True when a link's target is one of the files setup links to in the
// install folder: the archiver, its help or its manual. Folder and name
// compare ignoring the case of ASCII letters; the folder may end in a
// backslash. A link that another program or the user pointed elsewhere is
// not the program's to delete.
bool IsProductLinkTarget(const char *target, const char *installFolder);

// What the give-back does with a volume extension (.q00 to .q99). Each
// volume key has a saved association of its own; one that had no owner
// before setup follows the QBX type's previous owner, as setup made it.
enum VolumeGiveBack
{
  kVolumeLeave,      // not the archiver's: another program's, or nobody's
  kVolumeRestoreOwn, // gets back the owner it had before setup
  kVolumeRestore,    // gets the QBX type's previous owner
  kVolumeRelease     // the archiver's binding goes, and the key if nothing else is in it
};
VolumeGiveBack DecideVolumeGiveBack(bool archiversType, bool volumeExisted, const char *volumeSavedType,
                                    bool qbxExisted, const char *qbxSavedType);

// The CLSIDs of the shell extension DLLs, braced: qbxext.dll (32-bit) and
// qbxext64.dll (64-bit).
extern const char kShellExtClsid32[];
extern const char kShellExtClsid64[];
// True when a handler key's default value names the given CLSID or one of
// the product's two shell extension CLSIDs (any letter case).
bool NamesProductClsid(const char *value, const char *clsid);

// A probe of the system asked until it succeeds once; cache is -1 while the
// answer is unknown, then 0 or 1. probe returns false when it cannot tell.
bool CachedProbe(int &cache, bool (*probe)(bool &answer));
