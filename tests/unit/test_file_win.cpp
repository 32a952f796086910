// The read-only file object, against real files and pipes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "util/file.h"

namespace {

std::string ScratchFile(const char *name, const std::string &content)
{
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  std::string path = std::string(dir) + name;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  EXPECT_NE(INVALID_HANDLE_VALUE, h);
  DWORD done;
  WriteFile(h, content.data(), (DWORD)content.size(), &done, NULL);
  CloseHandle(h);
  return path;
}

TEST(File, MissingFileLeavesTheObjectClosed)
{
  File f;
  EXPECT_FALSE(f.Open("C:\\no such folder\\missing.lng", true));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(f.Seek(10)); // a closed object seeks successfully and does nothing
  EXPECT_TRUE(f.Close());
}

TEST(File, ReadTellSeek)
{
  std::string path = ScratchFile("qbx-file-test.txt", "0123456789");
  File f;
  ASSERT_TRUE(f.Open(path.c_str(), true));
  EXPECT_STREQ(path.c_str(), f.Name());
  char buf[16] = {0};
  EXPECT_EQ(4, f.Read(buf, 4));
  EXPECT_EQ(std::string("0123"), buf);
  EXPECT_EQ(4, f.Tell());
  EXPECT_TRUE(f.Seek(8));
  EXPECT_EQ(2, f.Read(buf, 10));
  EXPECT_EQ('8', buf[0]);
  EXPECT_EQ(0, f.Read(buf, 10)); // end of file
  EXPECT_TRUE(f.Seek(0));
  EXPECT_EQ(10, f.Read(buf, 16));
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(f.Close());
  DeleteFileA(path.c_str());
}

TEST(File, OpensWhileAnotherProcessWritesWhenWritingIsShared)
{
  std::string path = ScratchFile("qbx-file-shared.txt", "abc");
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  File shared;
  EXPECT_TRUE(shared.Open(path.c_str(), true));
  File exclusive;
  EXPECT_FALSE(exclusive.Open(path.c_str(), false));
  shared.Close();
  CloseHandle(writer);
  DeleteFileA(path.c_str());
}

TEST(File, AFailedDiskReadReturnsMinusOne)
{
  std::string path = ScratchFile("qbx-file-fail.txt", std::string(30000, 'x'));
  File f;
  ASSERT_TRUE(f.Open(path.c_str(), true));
  // Only 20480 bytes of this buffer are writable.
  char *buf = (char *)VirtualAlloc(NULL, 65536, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_TRUE(buf != NULL);
  ASSERT_TRUE(VirtualAlloc(buf, 20480, MEM_COMMIT, PAGE_READWRITE) != NULL);
  EXPECT_EQ(-1, f.Read(buf, 30000));
  f.Close();
  VirtualFree(buf, 0, MEM_RELEASE);
  DeleteFileA(path.c_str());
}

DWORD WINAPI WritePipe(void *pipe)
{
  ConnectNamedPipe(pipe, NULL);
  std::string data(30000, 'p');
  DWORD done;
  WriteFile(pipe, data.data(), (DWORD)data.size(), &done, NULL);
  FlushFileBuffers(pipe);
  return 0;
}

TEST(File, APipeThatRefusesALargeReadIsReadAgainWith20000Bytes)
{
  const char *name = "\\\\.\\pipe\\qbx-file-test";
  // Only 20480 bytes of this buffer are writable, so a read of 30000 fails.
  char *buf = (char *)VirtualAlloc(NULL, 65536, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_TRUE(buf != NULL);
  ASSERT_TRUE(VirtualAlloc(buf, 20480, MEM_COMMIT, PAGE_READWRITE) != NULL);
  HANDLE servers[2], writers[2];
  for (int i = 0; i < 2; i++)
  {
    servers[i] = CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 2, 65536, 65536, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, servers[i]);
    writers[i] = CreateThread(NULL, 0, WritePipe, servers[i], 0, NULL);
  }
  // First, that the system really refuses this read on a pipe.
  HANDLE raw = CreateFileA(name, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, raw);
  Sleep(200); // let the writer fill the pipe
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(raw, buf, 30000, &got, NULL));
  CloseHandle(raw);
  File f;
  ASSERT_TRUE(f.Open(name, true));
  Sleep(200);
  int n = f.Read(buf, 30000);
  EXPECT_GT(n, 0);
  EXPECT_LE(n, 20000);
  EXPECT_EQ('p', buf[0]);
  f.Close();
  for (int i = 0; i < 2; i++)
  {
    WaitForSingleObject(writers[i], 5000);
    CloseHandle(writers[i]);
    CloseHandle(servers[i]);
  }
  VirtualFree(buf, 0, MEM_RELEASE);
}

} // namespace
