// A read-only file over a Windows handle, used by the language file loader.
#pragma once

class File
{
public:
  File();
  virtual ~File();

  // Opens an existing file for reading; other processes may read it, and
  // write it too when shareWrite is set.
  bool Open(const char *name, bool shareWrite);
  // Bytes read, 0 at the end of the file, -1 on failure.
  int Read(void *buffer, int count);
  long long Tell();
  bool Seek(long long position);
  bool Close();
  bool IsOpen() const;
  const char *Name() const { return m_name; }

private:
  File(const File &);
  File &operator=(const File &);

  void *m_handle;
  char m_name[1024];
};

// Reads from the File that context points to, in the form of the readers'
// byte sources (the uninstall list, the language file).
int ReadFromFile(void *context, char *buffer, int count);
