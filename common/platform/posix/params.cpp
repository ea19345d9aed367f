// The POSIX parameters store: a text file standing in for HKEY_LOCAL_MACHINE.
//
//   ; Velora parameters (stands in for the Windows registry)
//   [SYSTEM\CurrentControlSet\Services\VeloraService\Parameters]
//   ExchFolder=sz:/srv/exchange
//   Version=dword:00000003
//
// Texts are ANSI (Windows-1251) in the program and UTF-8 in the file; control bytes, '%',
// byte 0x98 and the field delimiters ('=' in names, ']' in key names) are written as %HH, so
// any byte survives. Key and value names compare without case, as the registry's do.
// Every change rewrites the file through a temporary and a rename, under an exclusive lock
// on "<file>.lock" (flock, which also excludes other threads of this process).
#include "platform/params.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/posix/cp1251.h"

namespace {
struct Value {
    std::string name;
    bool isDword = false;
    std::uint32_t dword = 0;
    std::string text;
};
struct Key {
    std::string name;
    std::vector<Value> values;
};
typedef std::vector<Key> Store;

std::mutex g_mutex;  // keeps the threads of this process from sharing one lock descriptor

bool SameName(const std::string& a, const std::string& b) {
    return AnsiCompareNoCase(a.c_str(), b.c_str()) == 0;
}

// Key paths: separators collapsed, no leading or trailing backslash.
std::string NormalKey(const char* key) {
    std::string out;
    for (const char* p = key; *p; ++p) {
        if (*p == '\\' && (out.empty() || out.back() == '\\')) continue;
        out.push_back(*p);
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

std::string Escape(const std::string& ansi, char delimiter) {
    std::string out;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(ansi[i]);
        // A value name must not start like a comment or a key line.
        bool leading = delimiter == '=' && i == 0 && (c == ';' || c == '[');
        if (c < 0x20 || c == 0x7F || c == 0x98 || c == '%' || (delimiter && c == delimiter) || leading) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            AppendUtf8(&out, Cp1251ToUnicode(c));
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
            i += 3;
            continue;
        }
        std::uint32_t cp;
        i += DecodeUtf8(text, i, &cp);
        out.push_back(cp > 0xFFFF ? '?' : static_cast<char>(UnicodeToCp1251(static_cast<char16_t>(cp))));
    }
    return out;
}

void Parse(const std::string& data, Store* store) {
    Key* current = nullptr;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t end = data.find('\n', pos);
        if (end == std::string::npos) end = data.size();
        std::string line = data.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            std::size_t close = line.rfind(']');
            if (close == std::string::npos || close == 0) { current = nullptr; continue; }
            store->push_back(Key{Unescape(line.substr(1, close - 1)), {}});
            current = &store->back();
            continue;
        }
        std::size_t eq = line.find('=');
        if (!current || eq == std::string::npos) continue;
        Value v;
        v.name = Unescape(line.substr(0, eq));
        std::string rest = line.substr(eq + 1);
        if (rest.compare(0, 6, "dword:") == 0) {
            char* stop = nullptr;
            unsigned long n = std::strtoul(rest.c_str() + 6, &stop, 16);
            if (stop == rest.c_str() + 6 || *stop) continue;  // damaged line: ignore it
            v.isDword = true;
            v.dword = static_cast<std::uint32_t>(n);
        } else if (rest.compare(0, 3, "sz:") == 0) {
            v.text = Unescape(rest.substr(3));
        } else {
            continue;
        }
        current->values.push_back(v);
    }
}

std::string Format(const Store& store) {
    std::string out = "; Velora parameters (stands in for the Windows registry)\n";
    for (const Key& k : store) {
        out += "[" + Escape(k.name, ']') + "]\n";
        for (const Value& v : k.values) {
            out += Escape(v.name, '=') + "=";
            if (v.isDword) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "dword:%08X", v.dword);
                out += hex;
            } else {
                out += "sz:" + Escape(v.text, 0);
            }
            out += "\n";
        }
    }
    return out;
}

bool ReadAll(const std::string& path, std::string* data, bool* missing) {
    *missing = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *missing = errno == ENOENT;
        return *missing;
    }
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) { ::close(fd); return false; }
        if (n == 0) break;
        data->append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteAll(const std::string& path, const std::string& data) {
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) { ::close(fd); ::unlink(tmp.c_str()); return false; }
        done += static_cast<std::size_t>(n);
    }
    bool ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::string ParentFolder(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Holds the store's file lock for one operation.
class StoreLock {
public:
    StoreLock(bool exclusive) : guard_(g_mutex) {
        path_ = ParamsLocation();
        std::string parent = ParentFolder(path_);
        if (exclusive && !parent.empty() && !FolderExists(parent)) CreateFolderTree(parent);
        fd_ = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        int r;
        do {
            r = ::flock(fd_, exclusive ? LOCK_EX : LOCK_SH);
        } while (r != 0 && errno == EINTR);
        if (r != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~StoreLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    bool Load(Store* store) const {
        std::string data;
        bool missing;
        if (!ReadAll(path_, &data, &missing)) return false;
        Parse(data, store);
        return true;
    }

private:
    std::lock_guard<std::mutex> guard_;
    std::string path_;
    int fd_ = -1;
};

// Readers may run where the lock file cannot be created (a read-only folder): they then read
// without it, which is safe because writers replace the file in one rename.
bool LoadForRead(Store* store) {
    StoreLock lock(false);
    return lock.Load(store);
}

Key* FindKey(Store& store, const std::string& name) {
    for (Key& k : store)
        if (SameName(k.name, name)) return &k;
    return nullptr;
}

const Value* FindValue(const Store& store, const char* key, const char* name) {
    std::string k = NormalKey(key);
    for (const Key& item : store) {
        if (!SameName(item.name, k)) continue;
        for (const Value& v : item.values)
            if (SameName(v.name, name)) return &v;
    }
    return nullptr;
}

bool Update(const char* key, const char* name, const Value& value) {
    if (!key || !name) return false;
    std::string k = NormalKey(key);
    if (k.empty()) return false;
    StoreLock lock(true);
    if (!lock.Held()) return false;
    Store store;
    if (!lock.Load(&store)) return false;
    Key* item = FindKey(store, k);
    if (!item) {
        store.push_back(Key{k, {}});
        item = &store.back();
    }
    Value v = value;
    v.name = name;
    bool replaced = false;
    for (Value& old : item->values) {
        if (SameName(old.name, name)) {
            old = v;
            replaced = true;
        }
    }
    if (!replaced) item->values.push_back(v);
    return WriteAll(lock.Path(), Format(store));
}
}  // namespace

bool ParamsWriteString(const char* key, const char* name, const char* value) {
    if (!value) return false;
    Value v;
    v.text = value;
    return Update(key, name, v);
}

bool ParamsWriteDword(const char* key, const char* name, std::uint32_t value) {
    Value v;
    v.isDword = true;
    v.dword = value;
    return Update(key, name, v);
}

bool ParamsReadString(const char* key, const char* name, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return false;
    buffer[0] = '\0';
    if (!key || !name) return false;
    Store store;
    if (!LoadForRead(&store)) return false;
    const Value* v = FindValue(store, key, name);
    if (!v || v->isDword || v->text.size() + 1 > size) return false;
    std::memcpy(buffer, v->text.c_str(), v->text.size() + 1);
    return true;
}

bool ParamsReadDword(const char* key, const char* name, std::uint32_t* value) {
    if (!key || !name || !value) return false;
    Store store;
    if (!LoadForRead(&store)) return false;
    const Value* v = FindValue(store, key, name);
    if (!v || !v->isDword) return false;
    *value = v->dword;
    return true;
}

bool ParamsDeleteTree(const char* key) {
    if (!key) return false;
    std::string k = NormalKey(key);
    if (k.empty()) return false;
    StoreLock lock(true);
    if (!lock.Held()) return false;
    Store store;
    if (!lock.Load(&store)) return false;
    Store kept;
    bool found = false;
    for (Key& item : store) {
        bool below = item.name.size() > k.size() && item.name[k.size()] == '\\' &&
                     SameName(item.name.substr(0, k.size()), k);
        if (SameName(item.name, k) || below) {
            found = true;
        } else {
            kept.push_back(item);
        }
    }
    if (!found) return false;
    return WriteAll(lock.Path(), Format(kept));
}

std::string ParamsLocation() {
    const char* env = std::getenv("VELORA_PARAMS");
    if (env && *env) return env;
    if (::geteuid() == 0) return "/var/lib/velora/params.ini";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.velora/params.ini";
}
