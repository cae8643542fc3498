// The resources of the host build: the same compiled resource script as the Windows build's,
// linked in as bytes and read with our own .res reader.
#include "platform/resources.h"
#include "platform/host/res_file.h"
#include "platform/host/simulation.h"

#include <fcntl.h>
#include <unistd.h>
#include <vector>

// The compiled resources the bytes below were linked in from, standing in for the image's file.
#ifndef CORVATH_RES_FILE
#error CORVATH_RES_FILE names the .res file the host build embeds
#endif

extern "C" const std::byte corvath_res_begin[];
extern "C" const std::byte corvath_res_end[];

namespace platform {
namespace {

const std::vector<host::ResEntry>& Entries() {
    static const std::vector<host::ResEntry> embedded = [] {
        std::vector<host::ResEntry> parsed;
        host::ParseResFile(corvath_res_begin,
                           static_cast<std::size_t>(corvath_res_end - corvath_res_begin), parsed);
        return parsed;
    }();
    // A test may stand in another compiled resource set, e.g. other patch-list records.
    // The cache keeps its file alive, so the pointer comparison cannot meet a reused address.
    static std::vector<host::ResEntry> replaced;
    static std::shared_ptr<const std::vector<char>> replacedFrom;
    const auto& file = host::TheSimulation().resourceFile;
    if (!file) {
        return embedded;
    }
    if (replacedFrom != file) {
        host::ParseResFile(reinterpret_cast<const std::byte*>(file->data()), file->size(),
                           replaced);
        replacedFrom = file;
    }
    return replaced;
}

bool SameName(const ResourceName& a, const ResourceName& b) {
    if (a.id != 0 || b.id != 0) {
        return a.id == b.id;
    }
    // The loader compares names without regard to case.
    if (a.text.size() != b.text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.text.size(); ++i) {
        auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? c - 32 : c; };
        if (upper(a.text[i]) != upper(b.text[i])) {
            return false;
        }
    }
    return true;
}

const host::ResEntry* Find(const ResourceName& type, const ResourceName& name,
                           const LanguageId* language) {
    for (const host::ResEntry& entry : Entries()) {
        if (SameName(entry.type, type) && SameName(entry.name, name) &&
            (language == nullptr || entry.language == *language)) {
            return &entry;
        }
    }
    return nullptr;
}

const host::ResEntry* AsEntry(ResourceRef resource) {
    return static_cast<const host::ResEntry*>(resource.handle);
}

} // namespace

ResourceRef FindResourceAnyLanguage(const ResourceName& type, const ResourceName& name) {
    // As the Windows loader: neutral, the user's language, US English, then whatever exists.
    const LanguageId preferred[] = {0, UserDefaultUiLanguage(), kLanguageEnglishUs};
    for (LanguageId language : preferred) {
        if (const host::ResEntry* entry = Find(type, name, &language)) {
            return ResourceRef{entry};
        }
    }
    return ResourceRef{Find(type, name, nullptr)};
}

ResourceRef FindResourceInLanguage(const ResourceName& type, const ResourceName& name,
                                   LanguageId language) {
    return ResourceRef{Find(type, name, &language)};
}

std::uint32_t SizeOfResource(ResourceRef resource) {
    return resource ? AsEntry(resource)->size : 0;
}

const std::byte* BytesOfResource(ResourceRef resource) {
    return resource ? AsEntry(resource)->data : nullptr;
}

bool OpenResourceFile(ResourceRef resource, File& file, std::uint64_t& offset) {
    // Only the embedded set has a file of its own, and a test may take even that away.
    const std::byte* bytes = BytesOfResource(resource);
    if (host::TheSimulation().resourceFile || !host::TheSimulation().resourceFileReadable ||
        bytes < corvath_res_begin || bytes >= corvath_res_end) {
        return false;
    }
    const int fd = ::open(CORVATH_RES_FILE, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    file = File(fd);
    offset = static_cast<std::uint64_t>(bytes - corvath_res_begin);
    return true;
}

LanguageId UserDefaultUiLanguage() {
    return host::TheSimulation().userUiLanguage;
}

} // namespace platform
