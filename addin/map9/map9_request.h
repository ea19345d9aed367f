// The shared memory of one Map9 request: the event name and the data, UTF-16 strings each
// ending with a zero character, from offset 0; the 32-bit result later goes over offset 0.
// Plain C++, no platform calls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Reads the two strings from the `size` bytes at `view`, never past them; false when either
// string has no terminating zero inside the view.
bool ParseMap9Request(const void* view, size_t size, std::u16string& name, std::u16string& data);

// Lays out a request as the map program writes it (the strings and their zeros).
std::u16string FormatMap9Request(const std::u16string& name, const std::u16string& data);

// The result as the add-in writes it: signed 32-bit little-endian at offset 0.
void WriteMap9Result(void* view, int32_t result);
int32_t ReadMap9Result(const void* view);
