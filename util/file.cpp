#include "util/file.h"

#include <windows.h>

#include "util/text.h"

File::File() : m_handle(INVALID_HANDLE_VALUE) { m_name[0] = 0; }

File::~File() { Close(); }

bool File::IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

bool File::Open(const char *name, bool shareWrite)
{
  Close();
  DWORD share = FILE_SHARE_READ | (shareWrite ? FILE_SHARE_WRITE : 0);
  HANDLE h = CreateFileA(name, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  m_handle = h;
  if (!CopyText(m_name, sizeof(m_name), name))
    m_name[0] = 0;
  return true;
}

int File::Read(void *buffer, int count)
{
  DWORD done = 0;
  if (ReadFile(m_handle, buffer, (DWORD)count, &done, NULL))
    return (int)done;
  // Pipes and character devices may refuse large reads; retry once smaller.
  DWORD type = GetFileType(m_handle);
  if ((type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) && count > 20000)
  {
    done = 0;
    if (ReadFile(m_handle, buffer, 20000, &done, NULL))
      return (int)done;
  }
  return -1;
}

long long File::Tell()
{
  LONG high = 0;
  SetLastError(0);
  DWORD low = SetFilePointer(m_handle, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    return -1;
  return ((long long)high << 32) | low;
}

bool File::Seek(long long position)
{
  if (!IsOpen())
    return true;
  LONG high = (LONG)(position >> 32);
  SetLastError(0);
  DWORD low = SetFilePointer(m_handle, (LONG)(position & 0xFFFFFFFF), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool File::Close()
{
  if (!IsOpen())
    return true;
  BOOL ok = CloseHandle(m_handle);
  m_handle = INVALID_HANDLE_VALUE;
  return ok != 0;
}

int ReadFromFile(void *context, char *buffer, int count) { return static_cast<File *>(context)->Read(buffer, count); }
