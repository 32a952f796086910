// The dialogs of setup mode and the behaviour they share.
#pragma once
#include <windows.h>

// Help topics of the product's help file.
const UINT kSetupHelpTopic = 4288;
const UINT kContextItemsHelpTopic = 4976;

// Called first by every dialog procedure for every message: mirroring and
// translation of the dialog, and context help (topic 0: none).
void CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, const char *name, UINT helpTopic);

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DoneDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ContextItemsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
