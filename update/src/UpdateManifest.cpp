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
        if (read.version.empty() || CJXVersion(read.version.c_str()).IsEmpty()) return false;
        if (read.link.empty()) return false;
        manifest = std::move(read);
        return true;
    } catch (const Json::LogicError&) {
        return false;
    }
}
