#include "server_config.h"

#include <memory>

#include "device_id.h"
#include "hrcall.h"
#include "platform/codepage.h"
#include "platform/xml.h"
#include "status_files.h"

namespace {
void ReportHrCall(int line, const char* text, XmlResult hr, const char* call) {
  OutputDebugStringA(FormatHrCall(line, text, hr, call).c_str());
}

std::u16string U16(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

// The attribute's value into a 64-character field (63 kept); false when it is missing.
bool ReadAttribute(XmlElement& node, const wchar_t* name, wchar_t* field, std::wstring* whole = nullptr) {
  std::u16string value;
  if (XmlFailed(node.GetAttribute(U16(name), &value))) return false;
  std::wstring text(value.begin(), value.end());
  if (field) text.copy(field, 63);
  if (whole) *whole = text;
  return true;
}

void AppendDevice(XmlElement& node, DeviceList& devices) {
  DeviceRecord record = {};
  std::wstring id;
  if (!ReadAttribute(node, L"DEVICE_ID", nullptr, &id) || !ReadAttribute(node, L"PSEUDONIM", record.pseudonim) ||
      !ReadAttribute(node, L"DIRECTORY", record.directory))
    return;
  ParseDeviceId(id, &record.deviceId);  // an unparseable identifier stays all-zero
  if (void* slot = devices.Add()) *static_cast<DeviceRecord*>(slot) = record;
}
}  // namespace

void ReadServerConfig(const std::wstring& exchangeDir, DeviceList& devices, HWND owner,
                      XmlDocumentFactory create) {
  devices.Reset();
  std::wstring path = exchangeDir + L"config.xml";
  if (!IsExistingFile(path)) return;

  std::unique_ptr<XmlDocument> doc;
  XmlResult hr = create(&doc);
  if (XmlFailed(hr) || !doc) {
    ReportHrCall(__LINE__, "Create a new DOMDocument", XmlFailed(hr) ? hr : kXmlFail,
                 "CoCreateInstance(__uuidof(DOMDocument30), NULL, CLSCTX_INPROC_SERVER, "
                 "__uuidof(IXMLDOMDocument), (void**)&pxmldoc)");
    return;
  }
  doc->SetAsync(false);
  doc->SetValidateOnParse(false);
  doc->SetResolveExternals(false);
  bool loaded = false;
  hr = doc->Load(U16(path.c_str()), &loaded);
  if (XmlFailed(hr)) {
    ReportHrCall(__LINE__, "Failed to load DOM from xml-file", hr, "pxmldoc->load(vURL, &vb)");
    return;
  }
  if (!loaded) {
    std::string message = "Failed to load DOM from xml-file";
    std::unique_ptr<XmlParseError> error;
    std::u16string reason;
    if (!XmlFailed(doc->GetParseError(&error)) && error && !XmlFailed(error->GetReason(&reason)))
      message += " " + Utf16ToAnsi(reason);
    OutputDebugStringA((message + "\n").c_str());
    return;
  }

  std::unique_ptr<XmlElement> root;
  if (XmlFailed(doc->GetDocumentElement(&root)) || !root) {
    MessageBoxW(owner, L"Неправильная структура XML-документа!", L"Velora Server", MB_OK | MB_ICONERROR);
    return;
  }
  std::unique_ptr<XmlNodeList> nodes;
  long count = 0;
  if (XmlFailed(root->SelectNodes(u"PPC", &nodes)) || !nodes || XmlFailed(nodes->GetLength(&count))) return;
  for (long i = 0; i < count; ++i) {
    std::unique_ptr<XmlElement> node;
    if (!XmlFailed(nodes->GetItem(i, &node)) && node) AppendDevice(*node, devices);
  }
}
