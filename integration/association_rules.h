// What the associations write, computed without Windows: the extension
// lists, the volume extensions, the new-archive templates and the Windows
// versions that take a template file.
#pragma once
#include <stddef.h>

// Takes the next extension of a stored list such as ".lzh.lha": copies it
// into out and moves list past it. False at the end of the list, or when
// the extension does not fit (which no list of the program does).
bool NextExtension(const char *&list, char *out, size_t size);

// ".q00" to ".q99": the volume extensions of QBX archives.
bool FormatVolumeExtension(int number, char *out, size_t size);
// 30 when the QBX type is associated on the NT family, 100 on the 9x family
// (and always 100 when it is given back).
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
