// The system's COM declarations behind velora_std.idl: the header that widl generates from
// velora_addin.idl includes this file in place of a header generated from velora_std.idl.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
