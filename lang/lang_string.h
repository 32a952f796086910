// The resource module (the language DLL "qbxlng.dll" when it loads, else the
// program itself), strings by identifier, and the translation, scaling and
// mirroring of dialogs.
#pragma once
#include <windows.h>

// The language DLL holder: 1 while the DLL is loaded. Its destructor frees
// the DLL at exit.
class ExtResource
{
public:
  ExtResource() : Loaded(0) {}
  ~ExtResource();
  unsigned char Loaded;
};

// The process-wide instance, constructed by static initialisation.
extern ExtResource g_ExtResource;

// Loads "qbxlng.dll" from the executable's folder (or from folder when one
// is given) as the resource module; remembers the program's own module.
void LoadLanguageDll(HINSTANCE ownModule, const char *folder = NULL);
// Releases the language module, so that its file can be deleted.
void FreeLanguageDll();
HINSTANCE GetResourceModule();
HINSTANCE GetOwnModule();

// The text of a string identifier in one of eight rotating 512-byte buffers:
// a result stays intact through the next seven calls. With a language file
// loaded, the English text of the own module is translated by it (the DLL's
// strings are not used); otherwise the DLL's string, or the own module's.
char *GetLangString(UINT id);

// The percentages of a dialog's size entry; false when it is not scaled.
bool GetDialogScale(const char *dialogName, int &xs, int &ys);

// On WM_INITDIALOG: translates the caption and the control texts (the first
// 512 children) and scales the dialog and its controls.
void TranslateDialog(const char *dialogName, HWND dialog);

// On WM_SETFONT: mirrors the window for a right-to-left translation, before
// the dialog's controls are created, so that they are mirrored too.
void ApplyReadingDirection(HWND window);

// The one fatal stop: no memory for the message table. Reports it and ends
// the process.
void FatalOutOfMemory();
