#include "myxml.h"

#include <cstdio>

#include "platform/codepage.h"
#include "service_params.h"

void ReportHrCall(int line, const char* text, XmlResult hr, const char* call) {
    SetErrorText(FormatHrCall(line, text, hr, call).c_str());
}

std::unique_ptr<XmlDocument> MyXML::CreateDocument(XmlResult& hr) {
    std::unique_ptr<XmlDocument> doc;
    hr = XmlCreateDocument(&doc);
    if (XmlFailed(hr) || !doc) {
        if (!XmlFailed(hr)) hr = kXmlFail;
        ReportHrCall(__LINE__, "Create a new DOMDocument", hr,
                     "CoCreateInstance(__uuidof(DOMDocument30), NULL, CLSCTX_INPROC_SERVER, "
                     "__uuidof(IXMLDOMDocument), (void**)&pxmldoc)");
        return nullptr;
    }
    hr = doc->SetAsync(false);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "should never fail", hr, "pxmldoc->put_async(VARIANT_FALSE)");
        return nullptr;
    }
    hr = doc->SetValidateOnParse(false);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "should never fail", hr, "pxmldoc->put_validateOnParse(VARIANT_FALSE)");
        return nullptr;
    }
    hr = doc->SetResolveExternals(false);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "should never fail", hr, "pxmldoc->put_resolveExternals(VARIANT_FALSE)");
        return nullptr;
    }
    return doc;
}

void MyXML::ReportParseError(XmlDocument* document, const char* text) {
    std::unique_ptr<XmlParseError> error;
    XmlResult hr = document->GetParseError(&error);
    if (XmlFailed(hr) || !error) {
        ReportHrCall(__LINE__, "dom->get_parseError: ", XmlFailed(hr) ? hr : kXmlFail,
                     "pDom->get_parseError(&pXMLErr)");
        return;
    }
    std::u16string reason;
    hr = error->GetReason(&reason);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "parseError->get_reason: ", hr, "pXMLErr->get_reason(&bstrReason)");
        return;
    }
    std::string message = std::string(text) + " " + Utf16ToAnsi(reason);
    if (message.size() > 1023) message.resize(1023);
    SetErrorText(message.c_str());
}

XmlResult MyXML::GetAttribute(XmlElement* node, const std::u16string& name, std::u16string& value) {
    if (!node) return kXmlFail;
    std::u16string found;
    XmlResult hr = node->GetAttribute(name, &found);
    if (XmlFailed(hr)) return hr;
    value = found;
    return hr;
}
