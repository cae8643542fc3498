#include "install/decision.h"

namespace install {

ProductDecision DecideProduct(const VersionQuad& installed, const VersionQuad& target,
                              const std::wstring& applicableVersions) {
    if (VersionsEqual(installed, target)) {
        return ProductDecision::UpToDate;
    }
    std::wstring remaining = applicableVersions;
    for (;;) {
        const std::size_t comma = remaining.find(L',');
        if (comma == std::wstring::npos) {
            return ProductDecision::NotApplicable;
        }
        const VersionQuad entry = ParseVersion(remaining.substr(0, comma));
        if (VersionsEqual(installed, entry)) {
            return ProductDecision::Apply;
        }
        if (VersionsEqual(entry, target)) {
            return ProductDecision::StopUpToDate;
        }
        remaining.erase(0, comma + 1);
    }
}

const char* ToText(ProductDecision decision) {
    switch (decision) {
    case ProductDecision::UpToDate:
        return "up to date";
    case ProductDecision::Apply:
        return "apply";
    case ProductDecision::NotApplicable:
        return "not applicable";
    case ProductDecision::StopUpToDate:
        return "stop: up to date";
    }
    return "?";
}

} // namespace install
