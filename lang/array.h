// A growable array of plain values (the message table holds Array<int>).
// Growth never throws: a failed allocation is a result, and the array is then
// left as it was.
#pragma once
#include <stddef.h>
#include <stdlib.h>

template <class T> class Array
{
public:
  Array() : m_items(0), m_count(0), m_capacity(0) {}
  ~Array() { Free(); }

  int Count() const { return m_count; }
  int Capacity() const { return m_capacity; }
  T *Items() { return m_items; }
  const T *Items() const { return m_items; }
  T &operator[](int i) { return m_items[i]; }
  const T &operator[](int i) const { return m_items[i]; }

  // Raises the count by n (the new elements are not initialised). When the
  // count then exceeds the capacity, the capacity grows by a quarter plus 32,
  // or to the count if that is more.
  bool Grow(int n)
  {
    if (n < 0 || n > kMaxCount - m_count)
      return false;
    int count = m_count + n;
    if (count > m_capacity)
    {
      int capacity = m_capacity + m_capacity / 4 + 32;
      if (capacity > kMaxCount || capacity < count)
        capacity = count;
      T *items = static_cast<T *>(realloc(m_items, (size_t)capacity * sizeof(T)));
      if (!items)
        return false;
      m_items = items;
      m_capacity = capacity;
    }
    m_count = count;
    return true;
  }

  bool Add(const T &item)
  {
    if (!Grow(1))
      return false;
    m_items[m_count - 1] = item;
    return true;
  }

  void Free()
  {
    free(m_items);
    m_items = 0;
    m_count = 0;
    m_capacity = 0;
  }

private:
  Array(const Array &);
  Array &operator=(const Array &);

  // Keeps the byte size of the buffer within a signed 32-bit range.
  static const int kMaxCount = 0x7FFFFFFF / (int)sizeof(T);

  T *m_items;
  int m_count;
  int m_capacity;
};
