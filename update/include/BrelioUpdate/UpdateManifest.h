#pragma once
#include <string>
#include <string_view>

// The update manifest: a JSON object with "version" (text of four dotted
// numbers), "link-x64" (the cabinet's address) and optional "force".
struct UpdateManifest {
    std::wstring version;
    std::wstring link;
    bool force = false;
};

// False, with `manifest` untouched, for anything that is not such an
// object: a parse error, a missing or non-text "version" or "link-x64", a
// version that is not four dotted numbers (or is 0.0.0.0), a "force" that
// is no truth value. Texts
// are UTF-8, as JSON is.
[[nodiscard]] bool ParseUpdateManifest(std::string_view body, UpdateManifest& manifest);
