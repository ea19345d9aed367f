// The info record: what VlsGetPPCInfo returns and "NewDataFromServer" carries, six quoted
// fields separated by commas: identifier, pseudonim, directory, file, time, CRC.
#pragma once
#include <string>

#include "device_record.h"

// The record of a device; empty when it would exceed 1024 characters.
std::wstring FormatInfoRecord(const DeviceRecord& device);
// The field called `name` ("device_id", "pseudonim", "directory", "file", "time", "crc", any
// case) of a record: only the characters inside double quotes count, every comma ends a field.
// Empty for an unknown name or a record with fewer fields.
std::wstring InfoRecordField(const std::wstring& record, const std::wstring& name);
