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

// Where a redirect from `current` leads: `location` (absolute, or relative
// to `current`) as an absolute address in `next`, when that address passes
// the same check as a cabinet link. False for anything else; `next` is then
// left as it was.
[[nodiscard]] bool FollowUpdateRedirect(const std::wstring& current, const std::wstring& location,
                                        const std::wstring& updateBase, const std::wstring& serviceDomain,
                                        std::wstring& next);
[[nodiscard]] bool FollowUpdateRedirect(const std::wstring& current, const std::wstring& location,
                                        std::wstring& next);

// Where this build fetches the manifest from.
std::wstring UpdateManifestUri();
