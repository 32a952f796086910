// Tests that need a double-byte code page fill the DBCS table themselves
// with the lead bytes of code page 932 and restore it afterwards.
#pragma once
#include <gtest/gtest.h>
#include <string.h>

#include "util/path.h"

class Cp932Table : public ::testing::Test
{
protected:
  void SetUp() override
  {
    m_saved = g_DbcsTable;
    memset(&g_DbcsTable, 0, sizeof(g_DbcsTable));
    g_DbcsTable.MultiByte = 1;
    for (int b = 0x81; b <= 0x9F; b++)
      g_DbcsTable.LeadByte[b] = 1;
    for (int b = 0xE0; b <= 0xFC; b++)
      g_DbcsTable.LeadByte[b] = 1;
  }
  void TearDown() override { g_DbcsTable = m_saved; }

private:
  DbcsTable m_saved;
};

class SingleByteTable : public ::testing::Test
{
protected:
  void SetUp() override
  {
    m_saved = g_DbcsTable;
    memset(&g_DbcsTable, 0, sizeof(g_DbcsTable));
    // Flags set but MultiByte 0: they must not be consulted.
    for (int b = 0x80; b <= 0xFF; b++)
      g_DbcsTable.LeadByte[b] = 1;
  }
  void TearDown() override { g_DbcsTable = m_saved; }

private:
  DbcsTable m_saved;
};
