#include "zip/encrypted_entry.h"

#include <cstring>

// minizip's traditional-encryption key schedule (static functions in a header).
#include <crypt.h>

#include "zip/zip_codes.h"

namespace {
const int kHeader = 12;
}

EncryptedEntry::~EncryptedEntry() {
  if (inflating) inflateEnd(&stream);
  if (zip) unzCloseCurrentFile(zip);
}

long EncryptedEntry::Open(unzFile file, const unz_file_info64& info, const std::string& password) {
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return kZipCannotOpen;
  int method = 0, level = 0;
  if (unzOpenCurrentFile2(file, &method, &level, 1) != UNZ_OK) return kZipCannotOpen;
  zip = file;
  deflated = info.compression_method == Z_DEFLATED;
  expectedCrc = info.crc;
  crc = crc32(0L, Z_NULL, 0);
  table = get_crc_table();
  init_keys(password.c_str(), keys, table);
  unsigned char header[kHeader];
  if (unzReadCurrentFile(zip, header, kHeader) != kHeader) return kZipCannotOpen;
  Decrypt(reinterpret_cast<char*>(header), kHeader);
  // The last header byte repeats the CRC's high byte, or the time's when a data descriptor
  // follows the entry.
  unsigned check = (info.flag & 8) ? (info.dosDate >> 8) & 0xFF : (info.crc >> 24) & 0xFF;
  if (header[kHeader - 1] != check) return kZipWrongPassword;
  if (deflated) {
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return kZipCannotOpen;
    inflating = true;
  }
  return kZipOk;
}

void EncryptedEntry::Decrypt(char* data, int n) {
  for (int i = 0; i < n; ++i) {
    int c = static_cast<unsigned char>(data[i]);
    zdecode(keys, table, c);  // decrypts c in place
    data[i] = char(c);
  }
}

bool EncryptedEntry::Fill() {
  int n = unzReadCurrentFile(zip, input, sizeof(input));
  if (n < 0) return false;
  Decrypt(input, n);
  stream.next_in = reinterpret_cast<Bytef*>(input);
  stream.avail_in = unsigned(n);
  return true;
}

int EncryptedEntry::Read(char* data, unsigned size) {
  if (ended) return 0;
  if (!deflated) {
    int n = unzReadCurrentFile(zip, data, size);
    if (n < 0) return -kZipCannotOpen;
    Decrypt(data, n);
    if (n == 0) ended = true;
    crc = crc32(crc, reinterpret_cast<Bytef*>(data), unsigned(n));
    return n;
  }
  stream.next_out = reinterpret_cast<Bytef*>(data);
  stream.avail_out = size;
  while (stream.avail_out == size) {
    if (stream.avail_in == 0) {
      if (!Fill()) return -kZipCannotOpen;
      if (stream.avail_in == 0) return -kZipWrongPassword;  // the data ended before the stream did
    }
    int status = inflate(&stream, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      ended = true;
      break;
    }
    if (status != Z_OK) return -kZipWrongPassword;
  }
  unsigned n = size - stream.avail_out;
  crc = crc32(crc, reinterpret_cast<Bytef*>(data), n);
  return int(n);
}

long EncryptedEntry::Finish() { return crc == expectedCrc ? kZipOk : kZipWrongPassword; }
