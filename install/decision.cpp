#include "install/decision.h"

namespace install {

namespace {

// Calls `visit` with each entry of the list that a "," follows, as a parsed value, until it
// returns true; true when one did.
template <typename Visit> bool AnyEntry(const std::wstring& applicableVersions, Visit visit) {
    std::wstring remaining = applicableVersions;
    for (std::size_t comma = remaining.find(L','); comma != std::wstring::npos;
         comma = remaining.find(L',')) {
        if (visit(ParseVersion(remaining.substr(0, comma)))) {
            return true;
        }
        remaining.erase(0, comma + 1);
    }
    return false;
}

} // namespace

ProductDecision DecideProduct(const VersionQuad& installed, const VersionQuad& target,
                              const std::wstring& applicableVersions) {
    if (VersionsEqual(installed, target)) {
        return ProductDecision::UpToDate;
    }
    ProductDecision decision = ProductDecision::NotApplicable;
    AnyEntry(applicableVersions, [&](const VersionQuad& entry) {
        if (VersionsEqual(installed, entry)) {
            decision = ProductDecision::Apply;
        } else if (VersionsEqual(entry, target)) {
            decision = ProductDecision::StopUpToDate;
        }
        return decision != ProductDecision::NotApplicable;
    });
    return decision;
}

bool LeavesVersionAlone(const VersionQuad& target, const std::wstring& applicableVersions) {
    return AnyEntry(applicableVersions,
                    [&](const VersionQuad& entry) { return VersionsEqual(entry, target); });
}

ProductDecision DecideProduct(PatchState patch, const VersionQuad& installed,
                              const VersionQuad& target, const std::wstring& applicableVersions) {
    if (LeavesProductCurrent(patch)) {
        return ProductDecision::AlreadyPatched;
    }
    if (!LeavesVersionAlone(target, applicableVersions)) {
        return DecideProduct(installed, target, applicableVersions);
    }
    return AnyEntry(applicableVersions,
                    [&](const VersionQuad& entry) { return VersionsEqual(installed, entry); })
               ? ProductDecision::Apply
               : ProductDecision::NotApplicable;
}

namespace {

struct DecisionTexts {
    ProductDecision decision;
    const wchar_t* name;
    const wchar_t* reason; // which versions matched, for the run log
};

constexpr DecisionTexts kTexts[] = {
    {ProductDecision::UpToDate, L"up to date", L"the installed version is the target version"},
    {ProductDecision::AlreadyPatched, L"up to date",
     L"Windows Installer has the patch applied to it"},
    {ProductDecision::Upgraded, L"up to date",
     L"installed under a code the patch upgrades to, at the target version or later"},
    {ProductDecision::Superseded, L"up to date",
     L"Windows Installer has this patch superseded or obsoleted there"},
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
