#pragma once
#include <string>

// Only code from the service may run: a cabinet link is taken when its
// scheme is the update host's own (HTTPS in production) and its host is
// the update host or lies in the service domain. Anything else (another
// scheme, another host, user information, no host) is refused.
[[nodiscard]] bool IsTrustedUpdateLink(const std::wstring& link, const std::wstring& updateBase,
                                       const std::wstring& serviceDomain);

// The same check against this build's update host and service domain.
[[nodiscard]] bool IsTrustedUpdateLink(const std::wstring& link);

// Where this build fetches the manifest from.
std::wstring UpdateManifestUri();
