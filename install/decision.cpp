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

const wchar_t* ToText(ProductDecision decision) {
    switch (decision) {
    case ProductDecision::UpToDate:
        return L"up to date";
    case ProductDecision::Apply:
        return L"apply";
    case ProductDecision::NotApplicable:
        return L"not applicable";
    case ProductDecision::StopUpToDate:
        return L"stop: up to date";
    }
    return L"?";
}

const wchar_t* ReasonText(ProductDecision decision) {
    switch (decision) {
    case ProductDecision::UpToDate:
        return L"the installed version is the target version";
    case ProductDecision::Apply:
        return L"the installed version is one the pack applies to";
    case ProductDecision::NotApplicable:
        return L"no version the pack applies to is the installed one";
    case ProductDecision::StopUpToDate:
        return L"the list names the target version before the installed one";
    }
    return L"?";
}

} // namespace install
