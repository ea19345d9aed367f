// The emulator's start and its connection: CeRapiInitEx and CeRapiUninit.
#include "emu_state.h"
#include "rapi_exports.h"

namespace {
const HRESULT kAlreadyInitialised = HRESULT(0x80041001);

// Entry points the configuration names as missing lose their address in the export table,
// so that GetProcAddress finds nothing for them, as with a library that lacks them.
void HideExports(HMODULE self, const std::vector<std::wstring>& missing) {
  if (missing.empty()) return;
  BYTE* base = reinterpret_cast<BYTE*>(self);
  auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (!dir.VirtualAddress) return;
  auto exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
  auto ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
  auto functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    std::wstring name = FromUtf8(reinterpret_cast<const char*>(base + names[i]));
    for (const std::wstring& m : missing) {
      if (m != name) continue;
      DWORD* slot = &functions[ordinals[i]];
      DWORD old = 0;
      if (VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old)) {
        *slot = 0;
        VirtualProtect(slot, sizeof(*slot), old, &old);
      }
    }
  }
}

// The device's root and its two usual folders exist once the connection is up.
void MakeDeviceFolders(const std::wstring& root) {
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\My Documents").c_str(), nullptr);
  CreateDirectoryW((root + L"\\Windows").c_str(), nullptr);
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    Emu& emu = State();
    emu.self = instance;
    emu.config = ReadEmuConfig(instance);
    HideExports(instance, emu.config.missing);
  }
  return TRUE;
}

extern "C" {

// The configuration is read again for every connection, so that a test can change the
// device's behaviour between connections.
HRESULT WINAPI CeRapiInitEx(RapiInitRecord* init) {
  EmuLock lock;
  Emu& emu = State();
  if (!init || init->cbSize != sizeof(RapiInitRecord)) return E_INVALIDARG;
  if (emu.link != Link::kIdle) return kAlreadyInitialised;
  std::vector<std::wstring> missing = emu.config.missing;
  emu.config = ReadEmuConfig(emu.self);
  emu.config.missing = missing;  // the exports were fixed when the library was loaded
  emu.initEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!emu.initEvent) return E_OUTOFMEMORY;
  init->heRapiInit = emu.initEvent;
  init->hrRapiInit = S_OK;
  emu.bytesWritten = 0;
  switch (emu.config.connect) {
    case ConnectMode::kUp:
      MakeDeviceFolders(emu.config.root);
      emu.link = Link::kUp;
      SetEvent(emu.initEvent);
      break;
    case ConnectMode::kFail:
      emu.link = Link::kFailed;
      init->hrRapiInit = E_FAIL;
      SetEvent(emu.initEvent);
      break;
    case ConnectMode::kNever:
      emu.link = Link::kPending;
      break;
  }
  EmuLog(L"CeRapiInitEx " + std::wstring(emu.link == Link::kUp ? L"up" : emu.link == Link::kFailed ? L"failed" : L"pending") +
         L" root " + emu.config.root);
  return S_OK;
}

HRESULT WINAPI CeRapiUninit() {
  EmuLock lock;
  Emu& emu = State();
  if (emu.link == Link::kIdle) return E_FAIL;
  if (emu.initEvent) CloseHandle(emu.initEvent);
  emu.initEvent = nullptr;
  emu.link = Link::kIdle;
  EmuLog(L"CeRapiUninit, open files " + std::to_wstring(emu.files.size()));
  return S_OK;
}

}  // extern "C"
