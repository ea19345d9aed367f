// Writes the template config.xml (UTF-16LE with a byte-order mark, CR LF line ends) that the
// control panel puts in an exchange folder that has none. Replaces the file; false when it
// cannot be opened or written.
#pragma once

bool WriteConfigTemplate(const char* path);
