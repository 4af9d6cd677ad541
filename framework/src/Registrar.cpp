#include "BrelioFramework/Registrar.h"

#include <cwctype>
#include <memory>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"

namespace ATL {

namespace {

using brelio::UniqueRegKey;

const HRESULT kSyntaxError = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

enum class Removal { Normal, NoRemove, ForceRemove, Delete };

struct Value {
    std::wstring name;  // empty: the key's default value
    DWORD type = REG_SZ;
    std::wstring text;
    DWORD number = 0;
};

struct Key {
    std::wstring name;
    Removal removal = Removal::Normal;
    std::vector<Value> values;
    std::vector<Key> children;
};

struct Root {
    HKEY hive = nullptr;
    bool classes = false;  // HKCR, which per-user mode moves
    std::vector<Key> keys;
};

// Reads the script, already with its replacements made, into a tree.
class Parser {
public:
    explicit Parser(const std::wstring& text) : m_text(text) {}

    HRESULT Parse(std::vector<Root>& roots) {
        for (;;) {
            std::wstring word;
            if (!Next(word)) return S_OK;
            Root root;
            if (!RootOf(word, root)) return kSyntaxError;
            if (!Expect(L"{")) return kSyntaxError;
            const HRESULT hr = ParseKeys(root.keys, nullptr);
            if (FAILED(hr)) return hr;
            roots.push_back(std::move(root));
        }
    }

private:
    static bool RootOf(const std::wstring& word, Root& root) {
        if (word == L"HKCR" || word == L"HKEY_CLASSES_ROOT") {
            root.hive = HKEY_CLASSES_ROOT;
            root.classes = true;
        } else if (word == L"HKCU" || word == L"HKEY_CURRENT_USER") {
            root.hive = HKEY_CURRENT_USER;
        } else if (word == L"HKLM" || word == L"HKEY_LOCAL_MACHINE") {
            root.hive = HKEY_LOCAL_MACHINE;
        } else if (word == L"HKU" || word == L"HKEY_USERS") {
            root.hive = HKEY_USERS;
        } else {
            return false;
        }
        return true;
    }

    // Keys, and the enclosing key's named values, up to the closing brace
    // of their block.
    HRESULT ParseKeys(std::vector<Key>& keys, std::vector<Value>* values) {
        for (;;) {
            std::wstring word;
            bool quoted = false;
            if (!Next(word, &quoted)) return kSyntaxError;  // the block never closed
            if (!quoted && word == L"}") return S_OK;
            if (!quoted && word == L"val") {
                Value value;
                if (values == nullptr || !Next(value.name) || !Expect(L"=") || !ParseValue(value)) return kSyntaxError;
                values->push_back(std::move(value));
                continue;
            }
            Key key;
            if (!quoted && word == L"NoRemove") key.removal = Removal::NoRemove;
            else if (!quoted && word == L"ForceRemove") key.removal = Removal::ForceRemove;
            else if (!quoted && word == L"Delete") key.removal = Removal::Delete;
            if (key.removal != Removal::Normal && !Next(word, &quoted)) return kSyntaxError;
            if (!quoted && (word == L"{" || word == L"}" || word == L"=")) return kSyntaxError;
            key.name = word;
            if (PeekIs(L"=")) {
                Next(word);
                Value value;
                if (!ParseValue(value)) return kSyntaxError;
                key.values.push_back(std::move(value));
            }
            if (PeekIs(L"{")) {
                Next(word);
                const HRESULT hr = ParseKeys(key.children, &key.values);
                if (FAILED(hr)) return hr;
            }
            keys.push_back(std::move(key));
        }
    }

    // "s 'text'", "e 'text'" or "d 'number'" (the number may be bare).
    bool ParseValue(Value& value) {
        std::wstring type;
        std::wstring data;
        if (!Next(type) || !Next(data)) return false;
        if (type == L"s") {
            value.type = REG_SZ;
            value.text = data;
        } else if (type == L"e") {
            value.type = REG_EXPAND_SZ;
            value.text = data;
        } else if (type == L"d") {
            value.type = REG_DWORD;
            wchar_t* end = nullptr;
            value.number = static_cast<DWORD>(std::wcstoul(data.c_str(), &end, 0));
            if (data.empty() || end == nullptr || *end != L'\0') return false;
        } else {
            return false;
        }
        return true;
    }

    bool Expect(const wchar_t* token) {
        std::wstring word;
        bool quoted = false;
        return Next(word, &quoted) && !quoted && word == token;
    }

    bool PeekIs(const wchar_t* token) {
        const size_t saved = m_pos;
        std::wstring word;
        bool quoted = false;
        const bool is = Next(word, &quoted) && !quoted && word == token;
        m_pos = saved;
        return is;
    }

    // The next token: a brace, "=", a quoted text ('' is a quote inside) or
    // a bare word. "{" directly followed by text is a bare word up to its
    // closing brace, such as a class id.
    bool Next(std::wstring& word, bool* quoted = nullptr) {
        if (quoted != nullptr) *quoted = false;
        while (m_pos < m_text.size() && std::iswspace(m_text[m_pos])) ++m_pos;
        if (m_pos >= m_text.size()) return false;
        const wchar_t c = m_text[m_pos];
        word.clear();
        if (c == L'\'') {
            if (quoted != nullptr) *quoted = true;
            for (++m_pos; m_pos < m_text.size(); ++m_pos) {
                if (m_text[m_pos] == L'\'') {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == L'\'') {
                        word += L'\'';
                        ++m_pos;
                        continue;
                    }
                    ++m_pos;
                    return true;
                }
                word += m_text[m_pos];
            }
            return false;  // the text never ended
        }
        if (c == L'{' && m_pos + 1 < m_text.size() && !std::iswspace(m_text[m_pos + 1])) {
            const size_t close = m_text.find(L'}', m_pos);
            if (close == std::wstring::npos) return false;
            word = m_text.substr(m_pos, close - m_pos + 1);
            m_pos = close + 1;
            return true;
        }
        if (c == L'{' || c == L'}' || c == L'=') {
            word = c;
            ++m_pos;
            return true;
        }
        while (m_pos < m_text.size() && !std::iswspace(m_text[m_pos]) && m_text[m_pos] != L'{' &&
               m_text[m_pos] != L'}' && m_text[m_pos] != L'=') {
            word += m_text[m_pos++];
        }
        return true;
    }

    const std::wstring& m_text;
    size_t m_pos = 0;
};

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT DeleteTree(HKEY parent, const std::wstring& name) {
    const LSTATUS status = ::RegDeleteTreeW(parent, name.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT WriteValue(HKEY key, const Value& value) {
    const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
    if (value.type == REG_DWORD) {
        return FromStatus(::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                                           sizeof(value.number)));
    }
    const DWORD bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
    return FromStatus(
        ::RegSetValueExW(key, name, 0, value.type, reinterpret_cast<const BYTE*>(value.text.c_str()), bytes));
}

HRESULT RegisterKey(HKEY parent, const Key& key) {
    if (key.removal == Removal::Delete) return DeleteTree(parent, key.name);
    if (key.removal == Removal::ForceRemove) {
        const HRESULT hr = DeleteTree(parent, key.name);
        if (FAILED(hr)) return hr;
    }
    UniqueRegKey opened;
    HRESULT hr = FromStatus(::RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                              opened.Put(), nullptr));
    if (FAILED(hr)) return hr;
    for (const Value& value : key.values) {
        hr = WriteValue(opened.Get(), value);
        if (FAILED(hr)) return hr;
    }
    for (const Key& child : key.children) {
        hr = RegisterKey(opened.Get(), child);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterKey(HKEY parent, const Key& key) {
    if (key.removal == Removal::ForceRemove || key.removal == Removal::Delete) return DeleteTree(parent, key.name);
    UniqueRegKey opened;
    const LSTATUS status = ::RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE, opened.Put());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return FromStatus(status);
    HRESULT result = S_OK;
    for (const Key& child : key.children) {
        const HRESULT hr = UnregisterKey(opened.Get(), child);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    if (key.removal == Removal::NoRemove) return result;
    for (const Value& value : key.values) {
        ::RegDeleteValueW(opened.Get(), value.name.empty() ? nullptr : value.name.c_str());
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0) {
        opened.Reset();
        ::RegDeleteKeyW(parent, key.name.c_str());
    }
    return result;
}

}  // namespace

HRESULT CRegistrar::Run(const wchar_t* script, bool install) {
    if (script == nullptr) return E_INVALIDARG;
    // Replacements first, so a replaced text may hold any character.
    std::wstring text;
    for (const wchar_t* p = script; *p != L'\0'; ++p) {
        if (*p != L'%') {
            text += *p;
            continue;
        }
        const wchar_t* end = ::wcschr(p + 1, L'%');
        if (end == nullptr) return kSyntaxError;
        const std::wstring name(p + 1, end);
        if (name.empty()) {
            text += L'%';
        } else {
            auto found = m_replacements.find(name);
            if (found == m_replacements.end()) return kSyntaxError;
            text += found->second;
        }
        p = end;
    }

    std::vector<Root> roots;
    HRESULT hr = Parser(text).Parse(roots);
    if (FAILED(hr)) return hr;

    HRESULT result = S_OK;
    for (const Root& root : roots) {
        UniqueRegKey classes;
        HKEY hive = root.hive;
        if (root.classes && m_perUser) {
            hr = FromStatus(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                              KEY_READ | KEY_WRITE, nullptr, classes.Put(), nullptr));
            if (FAILED(hr)) return hr;
            hive = classes.Get();
        }
        for (const Key& key : root.keys) {
            hr = install ? RegisterKey(hive, key) : UnregisterKey(hive, key);
            if (FAILED(hr)) {
                if (install) return hr;
                if (SUCCEEDED(result)) result = hr;
            }
        }
    }
    return result;
}

HRESULT CRegistrar::LoadScript(HINSTANCE module, UINT id, const wchar_t* type, std::wstring& script) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    const auto* bytes = static_cast<const unsigned char*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (bytes == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        script.assign(reinterpret_cast<const wchar_t*>(bytes + 2), (size - 2) / sizeof(wchar_t));
    } else {
        size_t skip = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
        script = brelio::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(bytes) + skip, size - skip));
        if (script.empty() && size > skip) return kSyntaxError;  // not UTF-8
    }
    // A resource may carry trailing NULs from its padding.
    while (!script.empty() && script.back() == L'\0') script.pop_back();
    return S_OK;
}

HRESULT CRegistrar::ResourceRegister(HINSTANCE module, UINT id, const wchar_t* type) {
    std::wstring script;
    const HRESULT hr = LoadScript(module, id, type, script);
    if (FAILED(hr)) return hr;
    return StringRegister(script.c_str());
}

HRESULT CRegistrar::ResourceUnregister(HINSTANCE module, UINT id, const wchar_t* type) {
    std::wstring script;
    const HRESULT hr = LoadScript(module, id, type, script);
    if (FAILED(hr)) return hr;
    return StringUnregister(script.c_str());
}

}  // namespace ATL
