// Names of archive entries as the unpacker uses them.
#pragma once
#include <string>

// The stored name as wide text: UTF-8 when the entry says so (general-purpose flag bit 11,
// as Python writes non-ASCII names), else the ANSI code page; forward slashes become
// backslashes.
std::wstring DecodeEntryName(const std::string& stored, unsigned long flags);

// True when the name stays inside the destination folder: not empty, not absolute, no
// drive or stream colon, and no ".." component.
bool IsSafeEntryName(const std::wstring& name);
