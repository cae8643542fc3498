// Read access to the program's own embedded resources.
#pragma once

#include "platform/files.h"

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

// Opens the file the program's image is mapped from, to read a resource's bytes without touching
// the mapped view, and gives the resource's offset in it. Only when the file opened is shown to
// be that very file: while the image runs, its name can be made to lead to another file.
// Otherwise false, and the bytes are to be read through the view.
bool OpenResourceFile(ResourceRef resource, File& file, std::uint64_t& offset);

// The language the user reads the interface in (GetUserDefaultUILanguage on Windows).
LanguageId UserDefaultUiLanguage();

} // namespace platform
