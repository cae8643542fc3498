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

namespace {

struct DecisionTexts {
    ProductDecision decision;
    const wchar_t* name;
    const wchar_t* reason; // which versions matched, for the run log
};

constexpr DecisionTexts kTexts[] = {
    {ProductDecision::UpToDate, L"up to date", L"the installed version is the target version"},
    {ProductDecision::Apply, L"apply", L"the installed version is one the pack applies to"},
    {ProductDecision::NotApplicable, L"not applicable",
     L"no version the pack applies to is the installed one"},
    {ProductDecision::StopUpToDate, L"stop: up to date",
     L"the list names the target version before the installed one"},
};

const DecisionTexts& TextsOf(ProductDecision decision) {
    for (const DecisionTexts& texts : kTexts) {
        if (texts.decision == decision) {
            return texts;
        }
    }
    return kTexts[0];
}

} // namespace

const wchar_t* ToText(ProductDecision decision) {
    return TextsOf(decision).name;
}

const wchar_t* ReasonText(ProductDecision decision) {
    return TextsOf(decision).reason;
}

} // namespace install
