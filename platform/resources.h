// Read access to the program's own embedded resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using LanguageId = std::uint16_t;

constexpr LanguageId kLanguageEnglishUs = 1033;
constexpr std::uint16_t kResourceTypeString = 6; // RT_STRING

// A resource type or name: either an integer id or a text. "#206" is the text form of id 206,
// as the resource loader reads it.
struct ResourceName {
    std::uint16_t id = 0; // nonzero: an integer id
    std::wstring text;    // used when id is 0
};

ResourceName ResourceNameFromText(std::wstring_view text);
inline ResourceName ResourceNameFromId(std::uint16_t id) {
    return ResourceName{id, {}};
}

// An opaque reference to one resource of the module; empty when nothing was found.
struct ResourceRef {
    const void* handle = nullptr;
    explicit operator bool() const { return handle != nullptr; }
};

// Looks a resource up and lets the platform choose among its languages.
ResourceRef FindResourceAnyLanguage(const ResourceName& type, const ResourceName& name);
// Looks a resource up in exactly one language.
ResourceRef FindResourceInLanguage(const ResourceName& type, const ResourceName& name,
                                   LanguageId language);
// 0 counts as failure.
std::uint32_t SizeOfResource(ResourceRef resource);
// A read-only view that stays valid until the process ends, or nullptr.
const std::byte* BytesOfResource(ResourceRef resource);

// The language the user reads the interface in (GetUserDefaultUILanguage on Windows).
LanguageId UserDefaultUiLanguage();

} // namespace platform
