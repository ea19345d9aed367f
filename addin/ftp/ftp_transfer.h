// Binary transfers of one file in blocks, with the progress window, a 100 ms pause per block
// and the host's messages run between blocks. A failed or cancelled transfer leaves no
// partial file on the receiving side.
#pragma once
#include <string>

long FtpPut(const std::wstring& local, const std::wstring& remote);
long FtpGet(const std::wstring& local, const std::wstring& remote);
