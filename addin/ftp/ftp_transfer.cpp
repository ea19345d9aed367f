#include "ftp/ftp_transfer.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <vector>

#include "ftp/ftp_codes.h"
#include "ftp/ftp_state.h"
#include "ftp/progress_window.h"

namespace {
const DWORD kDeterminateLimit = 33554432;  // 32 MiB

DWORD BlockSize() { return Ftp().blockSize ? Ftp().blockSize : 4096; }

unsigned PerMille(unsigned long long done, unsigned long long size) {
  if (size == 0) return 1000;
  unsigned long long value = done * 1000 / size;
  return unsigned(value > 1000 ? 1000 : value);
}

void Pause() {
  PumpMessages();
  Sleep(100);
}

std::wstring Format(const wchar_t* format, unsigned long a, unsigned long b = 0, unsigned long c = 0) {
  wchar_t text[128];
  swprintf(text, sizeof(text) / sizeof(text[0]), format, a, b, c);
  return text;
}

void CloseFile(HINTERNET& file) {
  if (file) InternetCloseHandle(file);
  file = nullptr;
}

long PutBlocks(HANDLE local, HINTERNET remote, DWORD size) {
  std::vector<char> block(BlockSize());
  unsigned long long sent = 0;
  for (;;) {
    Pause();
    if (Ftp().cancel) return kFtpCancelled;
    DWORD got = 0;
    if (!ReadFile(local, block.data(), DWORD(block.size()), &got, nullptr)) {
      ProgressStatus(L"Ошибка чтения файла!");
      return kFtpGeneral;
    }
    // The end of the file: an empty file, or one whose size is a multiple of the block.
    if (got == 0) return kFtpOk;
    DWORD written = 0;
    if (!InternetWriteFile(remote, block.data(), got, &written) || written != got) {
      ProgressStatus(L"Ошибка записи файла на сервере!");
      return kFtpGeneral;
    }
    sent += got;
    unsigned perMille = PerMille(sent, size);
    ProgressBar(perMille);
    ProgressStatus(Format(L"Выгрузка: %lu из %lu б. (%lu%%)", (unsigned long)sent, size, perMille / 10));
    if (got < block.size()) return kFtpOk;
  }
}

long GetBlocks(HINTERNET remote, HANDLE local, DWORD size) {
  std::vector<char> block(BlockSize());
  unsigned long long received = 0;
  Pause();
  while (!Ftp().cancel) {
    DWORD got = 0;
    if (!InternetReadFile(remote, block.data(), DWORD(block.size()), &got)) {
      ProgressStatus(L"Ошибка чтения файла!");
      return kFtpGeneral;
    }
    if (got == 0) {
      // The data connection ended: short of the listed size, the server went away mid-file.
      if (received >= size) return kFtpOk;
      ProgressStatus(L"Ошибка чтения файла!");
      return kFtpGeneral;
    }
    DWORD written = 0;
    if (!WriteFile(local, block.data(), got, &written, nullptr) || written != got) {
      ProgressStatus(L"Ошибка записи файла-получателя!");
      return kFtpWriteError;
    }
    received += got;
    if (Ftp().determinate) {
      unsigned perMille = PerMille(received, size);
      ProgressBar(perMille);
      ProgressStatus(Format(L"Загрузка: %lu из %lu б. (%lu%%)", (unsigned long)received, size, perMille / 10));
    } else {
      ProgressStatus(Format(L"Загрузка: %lu б.", (unsigned long)received));
    }
    Pause();
  }
  return kFtpCancelled;
}
}  // namespace

long FtpPut(const std::wstring& local, const std::wstring& remote) {
  FtpState& ftp = Ftp();
  ftp.cancel = false;
  if (!ftp.connection) return kFtpNotConnected;
  HANDLE file = CreateFileW(local.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ProgressStatus(L"Не удалось открыть файл-отправитель!");
    return kFtpReadError;
  }
  DWORD size = GetFileSize(file, nullptr);
  ProgressStatus(L"Подготовка к отправке данных...");
  std::wstring path = RemotePath(remote);
  HINTERNET target = FtpOpenFileW(ftp.connection, path.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
  long code;
  if (!target) {
    ProgressStatus(L"Ошибка инициализации файла на сервере!");
    code = kFtpWriteError;
  } else {
    ProgressOpen(L"Отправка данных (FTP)");
    ProgressStatus(Format(L"Выгрузка: %lu из %lu б.", 0, size));
    code = PutBlocks(file, target, size);
  }
  CloseHandle(file);
  ProgressClose();
  if (target) {
    CloseFile(target);
    if (code != kFtpOk && ftp.connection) FtpDeleteFileW(ftp.connection, path.c_str());
  }
  return code;
}

long FtpGet(const std::wstring& local, const std::wstring& remote) {
  FtpState& ftp = Ftp();
  ftp.cancel = false;
  if (!ftp.connection) return kFtpNotConnected;
  ProgressStatus(L"Подготовка к приему данных...");
  DWORD size = 0;
  long found = FtpLookUp(remote, &size);
  if (found != kFtpOk) {
    ProgressStatus(found == kFtpNoSourceFile ? L"На сервере нет файла для загрузки!" : L"Ошибка получения файла!");
    return kFtpNoSourceFile;
  }
  HINTERNET source = FtpOpenFileW(ftp.connection, RemotePath(remote).c_str(), GENERIC_READ,
                                  FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
  if (!source) {
    ProgressStatus(L"Ошибка открытия файла!");
    return kFtpNoSourceFile;
  }
  HANDLE file = CreateFileW(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ProgressStatus(L"Не удалось открыть файл-получатель!");
    CloseFile(source);
    return kFtpWriteError;
  }
  ProgressOpen(L"Прием данных (FTP)");
  ftp.determinate = size > 0 && size <= kDeterminateLimit;
  if (ftp.determinate)
    ProgressStatus(Format(L"Загрузка: %lu из %lu б.", 0, size));
  else
    ProgressStatus(Format(L"Загрузка: %lu б.", 0));
  long code = GetBlocks(source, file, size);
  CloseHandle(file);
  if (code != kFtpOk) DeleteFileW(local.c_str());
  CloseFile(source);
  ProgressClose();
  return code;
}
