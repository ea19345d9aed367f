// Reads an entry protected by the traditional PKWARE encryption. The minizip reader built
// from zlib's sources has its decryption compiled out, so the entry is read raw and
// decrypted here (with minizip's own key schedule), then inflated and its CRC checked.
#pragma once
#include <unzip.h>
#include <zlib.h>

#include <string>

class EncryptedEntry {
 public:
  EncryptedEntry() = default;
  ~EncryptedEntry();
  EncryptedEntry(const EncryptedEntry&) = delete;
  EncryptedEntry& operator=(const EncryptedEntry&) = delete;

  // Opens the current entry: 0, 54 (cannot be read, unknown method) or 55 (the password's
  // check byte does not match).
  long Open(unzFile zip, const unz_file_info64& info, const std::string& password);
  // Up to `size` plain bytes; 0 at the end, -55 for data that does not inflate (a wrong
  // password), -54 when the archive cannot be read.
  int Read(char* data, unsigned size);
  // After the last Read: 0 when the CRC matches, else 55.
  long Finish();

 private:
  bool Fill();
  void Decrypt(char* data, int n);

  unzFile zip = nullptr;
  unsigned long keys[3] = {};
  const z_crc_t* table = nullptr;
  bool deflated = false;
  bool inflating = false;
  bool ended = false;
  z_stream stream = {};
  unsigned long crc = 0;
  unsigned long expectedCrc = 0;
  char input[16384];
};
