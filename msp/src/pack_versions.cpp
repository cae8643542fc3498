#include "msp/pack_versions.h"

#include "text_lists.h"

#include <algorithm>
#include <cstdint>

namespace corvath::msp {
namespace {

constexpr std::size_t kMostComponents = 4;
constexpr std::uint32_t kLargestComponent = 65535;
constexpr const char* kAskForOptions =
    "give CORVATH_SP_TARGET_VERSION and CORVATH_SP_APPLICABLE_VERSIONS";

// "8.1.0.4," -> {"8.1.0.4"} in four parts; an entry that is not a version stays as written, so
// that it differs from every version of the patch.
std::vector<std::string> entries_of(const std::string& list) {
    std::vector<std::string> entries;
    for (std::size_t start = 0, comma = list.find(','); comma != std::string::npos;
         start = comma + 1, comma = list.find(',', start)) {
        const std::string entry = list.substr(start, comma - start);
        entries.push_back(four_part_version(entry).value_or(entry));
    }
    return entries;
}

bool same_set(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    a.erase(std::unique(a.begin(), a.end()), a.end());
    b.erase(std::unique(b.begin(), b.end()), b.end());
    return a == b;
}

void add_once(std::vector<std::string>& versions, const std::string& version) {
    if (std::find(versions.begin(), versions.end(), version) == versions.end())
        versions.push_back(version);
}

// What the transforms say, as the patch itself would answer.
struct PatchSays {
    std::vector<std::string> from; // in the order of the transforms, each once
    std::vector<std::string> to;
    std::vector<std::string> unreadable;                // transforms without versions one can read
    const TransformVersions* changes_product = nullptr; // the first major-upgrade transform
};

PatchSays what_the_patch_says(const std::vector<TransformVersions>& transforms) {
    PatchSays says;
    for (const TransformVersions& transform : transforms) {
        const auto from = four_part_version(transform.from_version);
        const auto to = four_part_version(transform.to_version);
        if (!transform.readable || !from || !to) {
            says.unreadable.push_back(transform.name);
            continue;
        }
        add_once(says.from, *from);
        add_once(says.to, *to);
        if (!says.changes_product && transform.from_product != transform.to_product)
            says.changes_product = &transform;
    }
    return says;
}

std::string what_it_upgrades(const PatchSays& says) {
    return "its transforms bring " + joined(says.from, ", ") + " to " + joined(says.to, ", ");
}

} // namespace

std::optional<std::string> four_part_version(std::string_view text) {
    std::vector<std::uint32_t> components;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        const std::string_view digits = text.substr(start, dot - start);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        std::uint32_t value = 0;
        for (char digit : digits)
            value = value * 10 + static_cast<std::uint32_t>(digit - '0');
        if (value > kLargestComponent || components.size() == kMostComponents)
            return std::nullopt;
        components.push_back(value);
        start = dot + 1;
    }
    components.resize(kMostComponents, 0);
    std::string version;
    for (std::uint32_t component : components) {
        if (!version.empty())
            version += '.';
        version += std::to_string(component);
    }
    return version;
}

PackVersions decide_pack_versions(const std::vector<TransformVersions>& transforms,
                                  const VersionOptions& options) {
    PackVersions pack;
    const PatchSays says = what_the_patch_says(transforms);
    const bool patch_knows = says.unreadable.empty() && !says.from.empty();

    if (options.target.empty() || options.applicable.empty()) {
        if (!patch_knows) {
            pack.refusal = says.unreadable.empty()
                               ? std::string("its summary property 8 lists no transform, so the "
                                             "patch does not say which versions it changes: ") +
                                     kAskForOptions
                               : "its transform \"" + says.unreadable.front() +
                                     "\" does not say which versions it changes (its summary "
                                     "property 9 reads no {product}version;{product}version): " +
                                     kAskForOptions;
            return pack;
        }
        if (options.target.empty() && says.to.size() > 1) {
            pack.refusal = "its transforms bring products to different versions (" +
                           joined(says.to, ", ") + "), so the pack's target cannot be taken " +
                           "from the patch: " + kAskForOptions;
            return pack;
        }
    }
    pack.target = options.target.empty()
                      ? says.to.front()
                      : four_part_version(options.target).value_or(options.target);
    pack.applicable =
        options.applicable.empty() ? joined(says.from, ",") + "," : options.applicable;

    std::vector<std::string> differing;
    if (!options.target.empty() && !(says.to.size() == 1 && says.to.front() == pack.target))
        differing.push_back("CORVATH_SP_TARGET_VERSION " + options.target);
    if (!options.applicable.empty() && !same_set(entries_of(options.applicable), says.from))
        differing.push_back("CORVATH_SP_APPLICABLE_VERSIONS " + options.applicable);
    if (!differing.empty())
        pack.warnings.push_back(
            joined(differing, " and ") + " differ" + (differing.size() == 1 ? "s" : "") +
            " from the patch's own versions: " +
            (patch_knows ? what_it_upgrades(says)
                         : "its transforms do not all say which versions they change") +
            "; the pack uses the options as given");
    if (says.changes_product)
        pack.warnings.push_back(
            "its transform \"" + says.changes_product->name + "\" changes the product code from " +
            says.changes_product->from_product + " to " + says.changes_product->to_product +
            " (a major-upgrade patch): the pack finds products only by the codes in the patch's "
            "target list (summary property 7)");

    const std::vector<std::string> applicable = entries_of(pack.applicable);
    pack.small_update =
        std::find(applicable.begin(), applicable.end(), pack.target) != applicable.end();
    pack.by_version = !pack.small_update;
    if (pack.small_update)
        pack.notes.push_back("the patch leaves the version as it is (" + pack.target +
                             "): the pack is a small update and decides by Windows Installer's "
                             "patch state; detect it by its patch code, not by version (in "
                             "ConfigMgr a Windows Installer clause on the patch code, in Intune "
                             "the detection script the build writes)");
    return pack;
}

} // namespace corvath::msp
