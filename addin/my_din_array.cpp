#include "my_din_array.h"

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <cstring>

MyDinArray::MyDinArray()
    : storage(nullptr), count(0), capacity(0), elementSize(0), initialCapacity(0), growthStep(0) {}

MyDinArray::~MyDinArray() { CoTaskMemFree(storage); }

void MyDinArray::Initialize(unsigned initial, unsigned growth, unsigned size) {
  initialCapacity = initial;
  growthStep = growth ? growth : 1;
  elementSize = size;
}

bool MyDinArray::Reset() {
  CoTaskMemFree(storage);
  storage = nullptr;
  count = 0;
  capacity = 0;
  if (elementSize == 0) return false;
  if (initialCapacity == 0) return true;
  storage = static_cast<unsigned char*>(CoTaskMemAlloc(size_t(initialCapacity) * elementSize));
  if (!storage) return false;
  capacity = initialCapacity;
  return true;
}

void* MyDinArray::Add() {
  if (elementSize == 0) return nullptr;
  if (count >= capacity) {
    unsigned grown = capacity + growthStep;
    if (grown < capacity) return nullptr;  // overflow of the element count
    void* bigger = CoTaskMemRealloc(storage, size_t(grown) * elementSize);
    if (!bigger) return nullptr;
    storage = static_cast<unsigned char*>(bigger);
    capacity = grown;
  }
  return storage + size_t(count++) * elementSize;
}

void* MyDinArray::At(unsigned index) const {
  if (index >= count) return nullptr;
  return storage + size_t(index) * elementSize;
}

void MyDinArray::RemoveAt(unsigned index) {
  if (index >= count) return;
  std::memmove(storage + size_t(index) * elementSize, storage + size_t(index + 1) * elementSize,
               size_t(count - index - 1) * elementSize);
  --count;
}

void MyDinArray::Sort(Compare compare) {
  if (count > 1) std::qsort(storage, count, elementSize, compare);
}

void* MyDinArray::Search(const void* key, Compare compare) const {
  if (count == 0) return nullptr;
  return std::bsearch(key, storage, count, elementSize, compare);
}
