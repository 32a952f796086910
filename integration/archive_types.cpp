#include "integration/archive_types.h"

const char kDocType[] = "Quabix";
const char kZipDocType[] = "Quabix.ZIP";

const ArchiveType g_ArchiveTypes[kArchiveTypeCount] = {
  {5101, "&QBX", ".qbx", ".qbx", kDocType},
  {5102, "&ZIP", ".zip", ".zip", kZipDocType},
  {5103, "CAB", ".cab", ".cab", kDocType},
  {5104, "ARJ", ".arj", ".arj", kDocType},
  {5105, "LZH", ".lzh", ".lzh.lha", kDocType},
  {5106, "ACE", ".ace", ".ace", kDocType},
  {5107, "7-Zip", ".7z", ".7z", kDocType},
  {5108, "TAR", ".tar", ".tar", kDocType},
  {5109, "GZip", ".gz", ".gz.tgz", kDocType},
  {5110, "UUE", ".uue", ".uue.xxe.uu", kDocType},
  {5111, "BZ2", ".bz2", ".bz2.tbz2.bz.tbz", kDocType},
  {5112, "JAR", ".jar", ".jar", kDocType},
  {5113, "ISO", ".iso", ".iso", kDocType},
  {5114, "Z", ".z", ".z.taz", kDocType},
};
