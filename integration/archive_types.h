// The archive types the archiver can be associated with, in the order of the
// Setup dialog's check boxes. The row index is the index into
// SetupOptions::Associations. Pure data.
#pragma once

struct ArchiveType
{
  int Control;            // check box of the Setup dialog
  const char *Label;      // its English text
  const char *PrimaryExt; // names the choice's key "Setup\<ext>"
  const char *Extensions; // every extension of the type, concatenated: ".lzh.lha"
  const char *DocType;    // the document type the extensions are bound to
};

const int kArchiveTypeCount = 14;

// Rows with a role of their own.
const int kQbxRow = 0; // volume extensions and a new-archive template
const int kZipRow = 1; // bound to "Quabix.ZIP", new-archive template
const int kJarRow = 11;
const int kIsoRow = 12;

extern const ArchiveType g_ArchiveTypes[kArchiveTypeCount];

// The two document types that mean "the archiver owns this extension".
extern const char kDocType[];    // "Quabix"
extern const char kZipDocType[]; // "Quabix.ZIP"
