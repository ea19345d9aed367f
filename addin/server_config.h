// The devices of the service's config.xml, read by VlsSetExchangeDir.
#pragma once
#include <memory>
#include <string>

#include "device_record.h"
#include "platform/xml.h"

typedef XmlResult (*XmlDocumentFactory)(std::unique_ptr<XmlDocument>* out);

// Empties `devices`, then appends every "PPC" child of the document element of
// `exchangeDir` + "config.xml" that has DEVICE_ID, PSEUDONIM and DIRECTORY, in file order. A
// missing file leaves no devices; a load failure is reported to the debugger output; a
// document without a root element is shown in a message box owned by `owner`.
void ReadServerConfig(const std::wstring& exchangeDir, DeviceList& devices, HWND owner,
                      XmlDocumentFactory create = XmlCreateDocument);
