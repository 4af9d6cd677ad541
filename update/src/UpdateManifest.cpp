#include "BrelioUpdate/UpdateManifest.h"

#include <json/json.h>

#include <memory>

#include "BrelioCore/JXVersion.h"
#include "BrelioCore/TextConvert.h"

namespace {

// A required text member; anything else is a broken manifest.
std::wstring ReadText(const Json::Value& root, const char* key) {
    const Json::Value& value = root[key];
    if (!value.isString()) throw Json::LogicError(std::string(key) + " is not a text");
    return brelio::Utf8ToWide(value.asString());
}

// Exactly four dotted decimal numbers, each of at most 16 bits: "3" or
// "2.0.1" would otherwise read as versions with parts the service never
// named.
bool IsFourPartVersion(const std::wstring& text) {
    int parts = 0;
    size_t at = 0;
    for (;;) {
        const size_t start = at;
        unsigned long value = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
            value = value * 10 + static_cast<unsigned long>(text[at] - L'0');
            if (value > 0xFFFF) return false;
            ++at;
        }
        if (at == start) return false;
        ++parts;
        if (at == text.size()) return parts == 4;
        if (text[at] != L'.' || parts == 4) return false;
        ++at;
    }
}

}  // namespace

bool ParseUpdateManifest(std::string_view body, UpdateManifest& manifest) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors)) return false;
    try {
        if (!root.isObject()) return false;
        UpdateManifest read;
        read.version = ReadText(root, "version");
        read.link = ReadText(root, "link-x64");
        // Absent is false; a number converts as jsoncpp converts it, a text
        // or a list does not convert at all.
        read.force = root["force"].asBool();
        // A version that is no version would be shown to the user and
        // compared as 0.0.0.0.
        if (!IsFourPartVersion(read.version) || CJXVersion(read.version.c_str()).IsEmpty()) return false;
        if (read.link.empty()) return false;
        manifest = std::move(read);
        return true;
    } catch (const Json::LogicError&) {
        return false;
    }
}
