// The DOM view over MSXML 3.0 (DOMDocument30, in-process COM server).
#include "platform/xml.h"

#include <windows.h>
#include <msxml2.h>

namespace {
// mingw's libuuid has no MSXML class identifiers: {F5078F32-C551-11D3-89B9-0000F81FE221}.
const CLSID kClsidDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};

// Holds one interface reference and releases it.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    T** Out() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// A BSTR made from UTF-16 text, freed at the end of its scope.
class Bstr {
public:
    explicit Bstr(const std::u16string& text)
        : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }
    BSTR* Out() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::u16string Text() const {
        return b_ ? std::u16string(reinterpret_cast<const char16_t*>(b_), SysStringLen(b_)) : std::u16string();
    }

private:
    BSTR b_ = nullptr;
};

class ComElement : public XmlElement {
public:
    explicit ComElement(IXMLDOMNode* node) : node_(node) {}
    XmlResult SelectNodes(const std::u16string& name, std::unique_ptr<XmlNodeList>* out) override;
    XmlResult GetAttribute(const std::u16string& name, std::u16string* value) override {
        Ref<IXMLDOMNamedNodeMap> map;
        HRESULT hr = node_->get_attributes(map.Out());
        if (FAILED(hr)) return hr;
        if (!map.Get()) return E_FAIL;
        Bstr key(name);
        if (!key.Get()) return E_OUTOFMEMORY;
        Ref<IXMLDOMNode> attribute;
        hr = map->getNamedItem(key.Get(), attribute.Out());
        if (FAILED(hr)) return hr;
        if (!attribute.Get()) return E_FAIL;
        VARIANT v;
        VariantInit(&v);
        hr = attribute->get_nodeValue(&v);
        if (FAILED(hr)) return hr;
        value->clear();
        if (v.vt == VT_BSTR && v.bstrVal)
            value->assign(reinterpret_cast<const char16_t*>(v.bstrVal), SysStringLen(v.bstrVal));
        VariantClear(&v);
        return S_OK;
    }

private:
    Ref<IXMLDOMNode> node_;
};

class ComNodeList : public XmlNodeList {
public:
    explicit ComNodeList(IXMLDOMNodeList* list) : list_(list) {}
    XmlResult GetLength(long* length) override { return list_->get_length(length); }
    XmlResult GetItem(long index, std::unique_ptr<XmlElement>* out) override {
        out->reset();
        IXMLDOMNode* node = nullptr;
        HRESULT hr = list_->get_item(index, &node);
        if (node) out->reset(new ComElement(node));
        return hr;
    }

private:
    Ref<IXMLDOMNodeList> list_;
};

XmlResult ComElement::SelectNodes(const std::u16string& name, std::unique_ptr<XmlNodeList>* out) {
    out->reset();
    Bstr pattern(name);
    if (!pattern.Get()) return E_OUTOFMEMORY;
    IXMLDOMNodeList* list = nullptr;
    HRESULT hr = node_->selectNodes(pattern.Get(), &list);
    if (list) out->reset(new ComNodeList(list));
    return hr;
}

class ComParseError : public XmlParseError {
public:
    explicit ComParseError(IXMLDOMParseError* error) : error_(error) {}
    XmlResult GetReason(std::u16string* reason) override {
        Bstr text;
        HRESULT hr = error_->get_reason(text.Out());
        if (SUCCEEDED(hr)) *reason = text.Text();
        return hr;
    }

private:
    Ref<IXMLDOMParseError> error_;
};

class ComDocument : public XmlDocument {
public:
    explicit ComDocument(IXMLDOMDocument* doc) : doc_(doc) {}
    XmlResult SetAsync(bool on) override { return doc_->put_async(on ? VARIANT_TRUE : VARIANT_FALSE); }
    XmlResult SetValidateOnParse(bool on) override {
        return doc_->put_validateOnParse(on ? VARIANT_TRUE : VARIANT_FALSE);
    }
    XmlResult SetResolveExternals(bool on) override {
        return doc_->put_resolveExternals(on ? VARIANT_TRUE : VARIANT_FALSE);
    }
    XmlResult Load(const std::u16string& path, bool* loaded) override {
        *loaded = false;
        VARIANT var;
        VariantInit(&var);
        var.vt = VT_BSTR;
        var.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(path.data()), static_cast<UINT>(path.size()));
        if (!var.bstrVal) return E_OUTOFMEMORY;
        VARIANT_BOOL status = VARIANT_FALSE;
        HRESULT hr = doc_->load(var, &status);
        VariantClear(&var);
        *loaded = SUCCEEDED(hr) && status == VARIANT_TRUE;
        return hr;
    }
    XmlResult GetDocumentElement(std::unique_ptr<XmlElement>* out) override {
        out->reset();
        IXMLDOMElement* root = nullptr;
        HRESULT hr = doc_->get_documentElement(&root);
        if (root) out->reset(new ComElement(root));
        return hr;
    }
    XmlResult GetParseError(std::unique_ptr<XmlParseError>* out) override {
        out->reset();
        IXMLDOMParseError* error = nullptr;
        HRESULT hr = doc_->get_parseError(&error);
        if (error) out->reset(new ComParseError(error));
        return hr;
    }

private:
    Ref<IXMLDOMDocument> doc_;
};
}  // namespace

XmlResult XmlCreateDocument(std::unique_ptr<XmlDocument>* out) {
    out->reset();
    IXMLDOMDocument* doc = nullptr;
    HRESULT hr = CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(&doc));
    if (FAILED(hr)) return hr;
    if (!doc) return E_FAIL;
    out->reset(new ComDocument(doc));
    return hr;
}
