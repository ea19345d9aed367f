// MyXML: the service's few helpers around the XML parser (platform/xml.h), with the
// "HRCALL Failed" reporting that every failed parser call goes through. All reports go to
// the service's error text, which keeps the first one of a run.
#pragma once
#include <memory>
#include <string>

#include "hrcall.h"
#include "platform/xml.h"

void ReportHrCall(int line, const char* text, XmlResult hr, const char* call);

class MyXML {
public:
    virtual ~MyXML() = default;
    // A new document with async, validateOnParse and resolveExternals off; null (with `hr`
    // holding the failure, which is reported) when a step fails.
    std::unique_ptr<XmlDocument> CreateDocument(XmlResult& hr);
    // Reports "<text> <parser's reason>", or the failed call that kept the reason from us.
    void ReportParseError(XmlDocument* document, const char* text);
    // Clears `value` and stores the attribute's value in it; kXmlFail when it is missing.
    XmlResult GetAttribute(XmlElement* node, const std::u16string& name, std::u16string& value);
};
