#include "platform/resources.h"

#include "platform/win32/module.h"

#include <windows.h>

#include <vector>

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

namespace {

HMODULE Image() {
    return win32::g_module != nullptr ? win32::g_module : GetModuleHandleW(nullptr);
}

// Whether `file` is the file the program's image is mapped from: a view of it and the image
// must be views of one file (NtAreMappedFilesTheSame), whatever the names say.
bool IsImageFile(HANDLE file) {
    using AreMappedFilesTheSame = LONG(NTAPI*)(PVOID image, PVOID other);
    const auto same = reinterpret_cast<AreMappedFilesTheSame>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtAreMappedFilesTheSame")));
    if (same == nullptr) {
        return false;
    }
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        return false;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
    const bool isImage = view != nullptr && same(Image(), view) == 0; // STATUS_SUCCESS
    if (view != nullptr) {
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return isImage;
}

// Where the bytes at `bytes`, `size` of them, lie in the image's file: through the section
// that holds them, by the section table of the mapped image.
bool FileOffsetInImage(const std::byte* bytes, std::uint32_t size, std::uint64_t& offset) {
    const auto* base = reinterpret_cast<const std::byte*>(Image());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    const std::uint64_t rva = static_cast<std::uint64_t>(bytes - base);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const std::uint64_t start = section->VirtualAddress;
        if (rva >= start && rva + size <= start + section->SizeOfRawData) {
            offset = rva - start + section->PointerToRawData;
            return true;
        }
    }
    return false;
}

} // namespace

bool OpenResourceFile(ResourceRef resource, File& file, std::uint64_t& offset) {
    const std::byte* bytes = BytesOfResource(resource);
    const std::uint32_t size = SizeOfResource(resource);
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(Image(), path.data(), static_cast<DWORD>(path.size()));
    if (bytes == nullptr || size == 0 || length == 0 || length >= path.size()) {
        return false;
    }
    // The loader keeps the image's file from being written to while it runs; a rename it allows.
    HANDLE handle = CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    File opened(reinterpret_cast<std::intptr_t>(handle));
    LARGE_INTEGER fileSize{};
    if (!IsImageFile(handle) || !FileOffsetInImage(bytes, size, offset) ||
        !GetFileSizeEx(handle, &fileSize) ||
        offset + size > static_cast<std::uint64_t>(fileSize.QuadPart)) {
        return false;
    }
    file = std::move(opened);
    return true;
}

LanguageId UserDefaultUiLanguage() {
    return GetUserDefaultUILanguage();
}

} // namespace platform
