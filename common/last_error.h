// The text of the calling thread's last system error as "<message> (0x<code>)", code in
// lower-case hexadecimal. Empty when the system has no message for the code or when `size`
// is smaller than the message's length plus 14. Returns `buffer`.
#pragma once
#include <cstddef>

char* LastErrorText(char* buffer, std::size_t size);
