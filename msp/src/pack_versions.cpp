#include "msp/pack_versions.h"

#include "text_lists.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace corvath::msp {
namespace {

constexpr std::size_t kMostComponents = 4;
constexpr std::uint32_t kLargestComponent = 65535;
constexpr const char* kAskForOptions =
    "give --target-version and --applicable-versions";

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

// A version in four parts, as numbers: "1.10.0.0" sorts after "1.9.0.0".
std::array<std::uint32_t, kMostComponents> numbers_of(const std::string& four_parts) {
    std::array<std::uint32_t, kMostComponents> numbers{};
    std::size_t field = 0;
    for (const char c : four_parts) {
        if (c == '.')
            ++field;
        else if (field < kMostComponents)
            numbers[field] = numbers[field] * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return numbers;
}

// What the transforms that change the product say ("X", not its "#X"), as the patch itself
// would answer.
struct PatchSays {
    std::vector<std::string> from; // in the order of the transforms, each once
    std::vector<std::string> to;
    std::vector<std::string> unreadable;              // transforms without versions one can read
    bool only_patch_transforms = false;               // the list names "#" transforms alone
    bool keeps_every_version = true;                  // each transform leaves its version as it is
    std::vector<const TransformVersions*> transforms; // those read, in their order
    std::vector<std::string> upgraded_products;       // codes they change the product to
    const TransformVersions* changes_product = nullptr; // the first major-upgrade transform
    std::optional<std::string> target;                  // the one version they bring products to
};

PatchSays what_the_patch_says(const std::vector<TransformVersions>& transforms) {
    PatchSays says;
    says.only_patch_transforms = !transforms.empty();
    for (const TransformVersions& transform : transforms) {
        if (is_patch_transform(transform))
            continue;
        says.only_patch_transforms = false;
        const auto from = four_part_version(transform.from_version);
        const auto to = four_part_version(transform.to_version);
        if (!transform.readable || !from || !to) {
            says.unreadable.push_back(transform.name);
            continue;
        }
        says.transforms.push_back(&transform);
        add_once(says.from, *from);
        add_once(says.to, *to);
        says.keeps_every_version = says.keeps_every_version && *from == *to;
        if (transform.from_product != transform.to_product) {
            add_once(says.upgraded_products, transform.to_product);
            if (!says.changes_product)
                says.changes_product = &transform;
        }
    }
    // A small update of several baselines brings none of them anywhere: the highest stands for
    // them, so that the run, which finds it among the versions the pack applies to, decides by
    // the patch's state.
    if (says.keeps_every_version && !says.to.empty())
        says.target = *std::max_element(says.to.begin(), says.to.end(),
                                        [](const std::string& a, const std::string& b) {
                                            return numbers_of(a) < numbers_of(b);
                                        });
    else if (says.to.size() == 1)
        says.target = says.to.front();
    return says;
}

std::string what_it_upgrades(const PatchSays& says) {
    return "its transforms bring " + joined(says.from, ", ") + " to " + joined(says.to, ", ");
}

// Validation flags in the upper word of a transform's property 16.
constexpr std::uint16_t kValidateProduct = 0x0002;
constexpr std::uint16_t kValidateMajor = 0x0008;       // the first field of the version
constexpr std::uint16_t kValidateMinor = 0x0010;       // the first two
constexpr std::uint16_t kValidateUpdate = 0x0020;      // the first three
constexpr std::uint16_t kValidateEqual = 0x0100;       // no comparison bit: equal as well
constexpr std::uint16_t kValidateComparisons = 0x07C0; // <, <=, =, >=, >

// How many fields of the version Windows Installer compares: 0 for none.
std::size_t fields_compared(std::uint16_t flags) {
    return (flags & kValidateUpdate)  ? 3
           : (flags & kValidateMinor) ? 2
           : (flags & kValidateMajor) ? 1
                                      : 0;
}

std::string comparison_of(std::uint16_t flags) {
    const std::pair<std::uint16_t, const char*> names[] = {
        {0x0040, "<"}, {0x0080, "<="}, {0x0200, ">="}, {0x0400, ">"}};
    for (const auto& [bit, name] : names)
        if (flags & bit)
            return name;
    return "=";
}

// Where Windows Installer would apply the patch to versions the pack does not list, which the
// pack refuses (it compares all four fields for equality, as a binary delta needs its exact
// baseline): one line for the release engineer, or nothing.
std::optional<std::string> wider_validation_note(const PatchSays& says,
                                                 const std::string& applicable) {
    std::vector<std::string> reasons;
    const auto reason = [&reasons](std::string text) { add_once(reasons, text); };
    for (const TransformVersions* transform : says.transforms) {
        const std::uint16_t flags = transform->validation_flags.value_or(0);
        const std::string name = "\"" + transform->name + "\"";
        const std::size_t fields = fields_compared(flags);
        if (fields == 0) {
            reason("transform " + name + " checks no version");
            continue;
        }
        if (fields < 3)
            reason("transform " + name + " compares " +
                   (fields == 1 ? std::string("only the first field") : "only two fields") +
                   " of the version");
        if ((flags & kValidateComparisons & ~kValidateEqual) != 0)
            reason("transform " + name + " applies where the installed version is " +
                   comparison_of(flags) + " its baseline");
    }
    // Two baselines of one product that the compared fields cannot tell apart: Windows
    // Installer applies the first transform of the two to both.
    for (std::size_t a = 0; a < says.transforms.size(); ++a)
        for (std::size_t b = a + 1; b < says.transforms.size(); ++b) {
            const TransformVersions& first = *says.transforms[a];
            const TransformVersions& second = *says.transforms[b];
            const std::size_t fields =
                std::min(fields_compared(first.validation_flags.value_or(0)),
                         fields_compared(second.validation_flags.value_or(0)));
            const auto x = numbers_of(four_part_version(first.from_version).value_or(""));
            const auto y = numbers_of(four_part_version(second.from_version).value_or(""));
            const bool same_product = first.from_product == second.from_product ||
                                      !(first.validation_flags.value_or(0) &
                                        second.validation_flags.value_or(0) & kValidateProduct);
            if (fields > 0 && x != y && same_product &&
                std::equal(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(fields), y.begin()))
                reason("the baselines of \"" + first.name + "\" and \"" + second.name +
                       "\" are equal in the " + std::to_string(fields) + " fields compared");
        }
    if (reasons.empty())
        return std::nullopt;
    return "Windows Installer would apply this patch to more versions than the pack does (" +
           joined(reasons, "; ") + "): the pack applies it only to " + applicable +
           " (all four fields equal); list other versions it should patch in "
           "--applicable-versions";
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
            pack.refusal =
                !says.unreadable.empty()
                    ? "its transform \"" + says.unreadable.front() +
                          "\" does not say which versions it changes (its summary "
                          "property 9 reads no {product}version;{product}version): " +
                          kAskForOptions
                : says.only_patch_transforms
                    ? std::string("its summary property 8 lists only patch transforms (\"#\"), "
                                  "whose versions never say which versions a patch targets: ") +
                          kAskForOptions
                    : std::string("its summary property 8 lists no transform, so the "
                                  "patch does not say which versions it changes: ") +
                          kAskForOptions;
            return pack;
        }
        if (options.target.empty() && !says.target) {
            pack.refusal =
                "its transforms bring products to different versions (" + joined(says.to, ", ") +
                "), and a pack brings one: one pack per target version; " + kAskForOptions;
            return pack;
        }
    }
    pack.target = options.target.empty()
                      ? *says.target
                      : four_part_version(options.target).value_or(options.target);
    pack.applicable =
        options.applicable.empty() ? joined(says.from, ",") + "," : options.applicable;

    std::vector<std::string> differing;
    if (!options.target.empty() && says.target != pack.target)
        differing.push_back("--target-version " + options.target);
    if (!options.applicable.empty() && !same_set(entries_of(options.applicable), says.from))
        differing.push_back("--applicable-versions " + options.applicable);
    if (!differing.empty())
        pack.warnings.push_back(
            joined(differing, " and ") + " differ" + (differing.size() == 1 ? "s" : "") +
            " from the patch's own versions: " +
            (patch_knows ? what_it_upgrades(says)
                         : "its transforms do not all say which versions they change") +
            "; the pack uses the options as given");
    pack.upgraded_products = says.upgraded_products;
    if (says.changes_product)
        pack.warnings.push_back(
            "its transform \"" + says.changes_product->name + "\" changes the product code from " +
            says.changes_product->from_product + " to " + says.changes_product->to_product +
            " (a major-upgrade patch): Windows Installer cannot remove such a patch, so "
            "/uninstall will answer 1646 where it is applied; the run also looks for products "
            "under the codes it upgrades to (" +
            joined(says.upgraded_products, ";") + ")");

    const std::vector<std::string> applicable = entries_of(pack.applicable);
    pack.small_update =
        std::find(applicable.begin(), applicable.end(), pack.target) != applicable.end();
    pack.by_version = !pack.small_update;
    if (pack.small_update)
        pack.notes.push_back(
            (says.keeps_every_version && says.from.size() > 1
                 ? "the patch leaves the versions as they are (" + joined(says.from, ", ") + ")"
                 : "the patch leaves the version as it is (" + pack.target + ")") +
            ": the pack is a small update and decides by Windows Installer's patch state; "
            "detect it by its patch code, not by version: in ConfigMgr and Intune with the "
            "detection script written beside the pack");
    if (auto note = wider_validation_note(says, pack.applicable))
        pack.notes.push_back(*note);
    return pack;
}

} // namespace corvath::msp
