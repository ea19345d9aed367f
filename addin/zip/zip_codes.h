// Result codes of the zip methods (texts in error_text.cpp).
#pragma once

enum ZipCode : long {
  kZipOk = 0,
  kZipNoSource = 2,          // the source file or folder does not exist
  kZipDestination = 6,       // the destination folder cannot be entered or a file written there
  kZipCannotCreate = 50,     // the archive could not be created
  kZipCannotAdd = 51,        // a file or folder could not be added
  kZipCannotClose = 52,      // the archive could not be closed
  kZipBadList = 53,          // the file-name list is malformed
  kZipCannotOpen = 54,       // the archive could not be opened, holds an unsafe name or a damaged entry
  kZipWrongPassword = 55,    // wrong (or missing) password while unpacking
  kZipGeneral = 100,         // wrong parameter, out of memory, nothing to pack
};
