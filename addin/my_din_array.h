// A growable array of fixed-size elements in COM task memory; the add-in's lists (zip files,
// schedules, devices) are built on it.
#pragma once
#include <cstddef>

class MyDinArray {
 public:
  typedef int (*Compare)(const void*, const void*);

  MyDinArray();
  virtual ~MyDinArray();
  MyDinArray(const MyDinArray&) = delete;
  MyDinArray& operator=(const MyDinArray&) = delete;

  void Initialize(unsigned initialCapacity, unsigned growthStep, unsigned elementSize);
  // (Re)allocates storage for the initial capacity and empties the array.
  bool Reset();
  // The next slot (not cleared), counted; null when the storage cannot grow.
  void* Add();
  // Null for an index outside the array.
  void* At(unsigned index) const;
  unsigned Count() const { return count; }
  unsigned Capacity() const { return capacity; }
  unsigned ElementSize() const { return elementSize; }
  void RemoveAt(unsigned index);
  void Sort(Compare compare);
  void* Search(const void* key, Compare compare) const;

 private:
  unsigned char* storage;
  unsigned count;
  unsigned capacity;
  unsigned elementSize;
  unsigned initialCapacity;
  unsigned growthStep;
};
