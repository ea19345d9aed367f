// The DOM view over expat: the file is parsed once into a flat tree of elements (indices,
// not pointers, so no depth of nesting can exhaust the stack), which the view then reads.
// External entities and DTDs are never fetched: expat only does so through a handler, and
// none is installed.
#include "platform/xml.h"

#include <expat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <utility>
#include <vector>

#include "platform/posix/cp1251.h"

namespace {
struct Node {
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> attributes;
    std::vector<std::size_t> children;
};

struct Tree {
    std::vector<Node> nodes;
    bool hasRoot = false;  // nodes[0] is the root element when true
};

std::u16string FromUtf8(const char* text) {
    std::string s = text ? text : "";
    std::u16string out;
    std::size_t i = 0;
    while (i < s.size()) {
        std::uint32_t cp;
        i += DecodeUtf8(s, i, &cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(&out, cp);
    }
    return out;
}

struct ParseState {
    Tree* tree;
    std::vector<std::size_t> open;  // the path of elements from the root to the current one
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto state = static_cast<ParseState*>(data);
    Tree& tree = *state->tree;
    Node node;
    node.name = FromUtf8(name);
    for (const XML_Char** a = attributes; a[0] && a[1]; a += 2)
        node.attributes.emplace_back(FromUtf8(a[0]), FromUtf8(a[1]));
    std::size_t index = tree.nodes.size();
    tree.nodes.push_back(std::move(node));
    if (state->open.empty()) {
        tree.hasRoot = true;
    } else {
        tree.nodes[state->open.back()].children.push_back(index);
    }
    state->open.push_back(index);
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    auto state = static_cast<ParseState*>(data);
    if (!state->open.empty()) state->open.pop_back();
}

// Windows-1251 is what 1C writes by default; expat knows only the UTF and Latin-1 encodings.
int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    static const char* const kNames[] = {"windows-1251", "cp1251", "x-cp1251"};
    for (const char* known : kNames) {
        if (strcasecmp(name, known) == 0) {
            for (int i = 0; i < 256; ++i) info->map[i] = Cp1251ToUnicode(static_cast<unsigned char>(i));
            info->data = nullptr;
            info->convert = nullptr;
            info->release = nullptr;
            return XML_STATUS_OK;
        }
    }
    return XML_STATUS_ERROR;
}

class ExpatNodeList;

class ExpatElement : public XmlElement {
public:
    ExpatElement(std::shared_ptr<const Tree> tree, std::size_t index) : tree_(std::move(tree)), index_(index) {}
    XmlResult SelectNodes(const std::u16string& name, std::unique_ptr<XmlNodeList>* out) override;
    XmlResult GetAttribute(const std::u16string& name, std::u16string* value) override {
        for (const auto& a : tree_->nodes[index_].attributes) {
            if (a.first == name) {
                *value = a.second;
                return kXmlOk;
            }
        }
        return kXmlFail;
    }

private:
    std::shared_ptr<const Tree> tree_;
    std::size_t index_;
};

class ExpatNodeList : public XmlNodeList {
public:
    ExpatNodeList(std::shared_ptr<const Tree> tree, std::vector<std::size_t> items)
        : tree_(std::move(tree)), items_(std::move(items)) {}
    XmlResult GetLength(long* length) override {
        *length = static_cast<long>(items_.size());
        return kXmlOk;
    }
    XmlResult GetItem(long index, std::unique_ptr<XmlElement>* out) override {
        if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
            out->reset();
            return kXmlFalse;
        }
        out->reset(new ExpatElement(tree_, items_[static_cast<std::size_t>(index)]));
        return kXmlOk;
    }

private:
    std::shared_ptr<const Tree> tree_;
    std::vector<std::size_t> items_;
};

XmlResult ExpatElement::SelectNodes(const std::u16string& name, std::unique_ptr<XmlNodeList>* out) {
    std::vector<std::size_t> items;
    for (std::size_t child : tree_->nodes[index_].children)
        if (tree_->nodes[child].name == name) items.push_back(child);
    out->reset(new ExpatNodeList(tree_, std::move(items)));
    return kXmlOk;
}

class ExpatParseError : public XmlParseError {
public:
    explicit ExpatParseError(std::u16string reason) : reason_(std::move(reason)) {}
    XmlResult GetReason(std::u16string* reason) override {
        *reason = reason_;
        return kXmlOk;
    }

private:
    std::u16string reason_;
};

class ExpatDocument : public XmlDocument {
public:
    XmlResult SetAsync(bool) override { return kXmlOk; }
    XmlResult SetValidateOnParse(bool) override { return kXmlOk; }
    XmlResult SetResolveExternals(bool) override { return kXmlOk; }

    XmlResult Load(const std::u16string& path, bool* loaded) override {
        *loaded = false;
        tree_.reset();
        reason_.clear();
        std::FILE* file = std::fopen(ToUtf8(path).c_str(), "rb");
        if (!file) {
            reason_ = FromUtf8((std::string("The file cannot be opened: ") + std::strerror(errno) + ".").c_str());
            return kXmlFalse;
        }
        auto tree = std::make_shared<Tree>();
        ParseState state{tree.get(), {}};
        XML_Parser parser = XML_ParserCreate(nullptr);
        if (!parser) {
            std::fclose(file);
            return kXmlOutOfMemory;
        }
        XML_SetUserData(parser, &state);
        XML_SetElementHandler(parser, OnStart, OnEnd);
        XML_SetUnknownEncodingHandler(parser, OnUnknownEncoding, nullptr);
        bool ok = true;
        bool readError = false;
        char buffer[65536];
        for (;;) {
            std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
            if (n < sizeof buffer && std::ferror(file)) {
                readError = true;
                ok = false;
                break;
            }
            bool last = n < sizeof buffer;
            if (XML_Parse(parser, buffer, static_cast<int>(n), last) != XML_STATUS_OK) {
                ok = false;
                break;
            }
            if (last) break;
        }
        std::fclose(file);
        if (!ok) {
            char text[256];
            if (readError) {
                std::snprintf(text, sizeof text, "The file cannot be read.");
            } else {
                std::snprintf(text, sizeof text, "%s (line %lu, column %lu).",
                              XML_ErrorString(XML_GetErrorCode(parser)),
                              static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)),
                              static_cast<unsigned long>(XML_GetCurrentColumnNumber(parser)) + 1);
            }
            reason_ = FromUtf8(text);
            XML_ParserFree(parser);
            return kXmlFalse;
        }
        XML_ParserFree(parser);
        tree_ = tree;
        *loaded = true;
        return kXmlOk;
    }

    XmlResult GetDocumentElement(std::unique_ptr<XmlElement>* out) override {
        out->reset();
        if (!tree_ || !tree_->hasRoot) return kXmlFalse;
        out->reset(new ExpatElement(tree_, 0));
        return kXmlOk;
    }

    XmlResult GetParseError(std::unique_ptr<XmlParseError>* out) override {
        out->reset(new ExpatParseError(reason_));
        return kXmlOk;
    }

private:
    std::shared_ptr<const Tree> tree_;
    std::u16string reason_;
};
}  // namespace

XmlResult XmlCreateDocument(std::unique_ptr<XmlDocument>* out) {
    out->reset(new ExpatDocument);
    return kXmlOk;
}
