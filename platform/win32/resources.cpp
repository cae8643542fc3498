#include "platform/resources.h"

#include "platform/win32/module.h"

#include <windows.h>

namespace platform {

namespace win32 {
HMODULE g_module = nullptr;
} // namespace win32

namespace {

// The loader's own form of a type or name: an integer id travels in the pointer.
LPCWSTR AsLoaderName(const ResourceName& name) {
    return name.id != 0 ? MAKEINTRESOURCEW(name.id) : name.text.c_str();
}

HRSRC AsHandle(ResourceRef resource) {
    return static_cast<HRSRC>(const_cast<void*>(resource.handle));
}

} // namespace

ResourceRef FindResourceAnyLanguage(const ResourceName& type, const ResourceName& name) {
    return ResourceRef{FindResourceW(win32::g_module, AsLoaderName(name), AsLoaderName(type))};
}

ResourceRef FindResourceInLanguage(const ResourceName& type, const ResourceName& name,
                                   LanguageId language) {
    return ResourceRef{
        FindResourceExW(win32::g_module, AsLoaderName(type), AsLoaderName(name), language)};
}

std::uint32_t SizeOfResource(ResourceRef resource) {
    return SizeofResource(win32::g_module, AsHandle(resource));
}

const std::byte* BytesOfResource(ResourceRef resource) {
    HGLOBAL loaded = LoadResource(win32::g_module, AsHandle(resource));
    if (loaded == nullptr) {
        return nullptr;
    }
    return static_cast<const std::byte*>(LockResource(loaded));
}

LanguageId UserDefaultUiLanguage() {
    return GetUserDefaultUILanguage();
}

} // namespace platform
