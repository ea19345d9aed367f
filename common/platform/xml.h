// A small DOM view of an XML document: the elements, their children by name and their
// attributes. MSXML 3.0 (DOMDocument30) stands behind it on Windows and expat elsewhere.
// Every call returns an HRESULT-numbered result, so callers report failures the same way
// on both builds. Texts are UTF-16. Callers on Windows initialise COM first.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

typedef std::int32_t XmlResult;
constexpr XmlResult kXmlOk = 0;                                          // S_OK
constexpr XmlResult kXmlFalse = 1;                                       // S_FALSE
constexpr XmlResult kXmlFail = static_cast<XmlResult>(0x80004005u);       // E_FAIL
constexpr XmlResult kXmlOutOfMemory = static_cast<XmlResult>(0x8007000Eu); // E_OUTOFMEMORY
constexpr XmlResult kXmlInvalidArg = static_cast<XmlResult>(0x80070057u);  // E_INVALIDARG
inline bool XmlFailed(XmlResult r) { return r < 0; }

class XmlNodeList;

class XmlElement {
public:
    virtual ~XmlElement() = default;
    // The direct child elements called `name`, in document order (selectNodes of a plain name).
    virtual XmlResult SelectNodes(const std::u16string& name, std::unique_ptr<XmlNodeList>* out) = 0;
    // The element's attribute map, then the attribute's value. kXmlFail when there is no such
    // attribute; `value` is left unchanged then.
    virtual XmlResult GetAttribute(const std::u16string& name, std::u16string* value) = 0;
};

class XmlNodeList {
public:
    virtual ~XmlNodeList() = default;
    virtual XmlResult GetLength(long* length) = 0;
    virtual XmlResult GetItem(long index, std::unique_ptr<XmlElement>* out) = 0;
};

class XmlParseError {
public:
    virtual ~XmlParseError() = default;
    virtual XmlResult GetReason(std::u16string* reason) = 0;
};

class XmlDocument {
public:
    virtual ~XmlDocument() = default;
    virtual XmlResult SetAsync(bool on) = 0;
    virtual XmlResult SetValidateOnParse(bool on) = 0;
    virtual XmlResult SetResolveExternals(bool on) = 0;
    // Loads and parses the file. A file that cannot be read or parsed gives a success result
    // with *loaded false; the reason is then available from GetParseError.
    virtual XmlResult Load(const std::u16string& path, bool* loaded) = 0;
    // The root element; a success result with a null element when there is none.
    virtual XmlResult GetDocumentElement(std::unique_ptr<XmlElement>* out) = 0;
    virtual XmlResult GetParseError(std::unique_ptr<XmlParseError>* out) = 0;
};

// Creates an empty document object (CoCreateInstance of DOMDocument30 on Windows).
XmlResult XmlCreateDocument(std::unique_ptr<XmlDocument>* out);
