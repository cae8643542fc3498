#include "payload/resource_store.h"

#include <optional>

namespace payload {
namespace {

std::optional<platform::LanguageId> g_messageLanguage;

constexpr platform::LanguageId kSubLanguageDefault = 1;

platform::LanguageId PrimaryLanguageDefault(platform::LanguageId language) {
    return static_cast<platform::LanguageId>((language & 0x3FF) | (kSubLanguageDefault << 10));
}

// Chinese is read in one of two scripts, whatever the region: the primary language's default
// (Taiwan, Traditional) would show Singapore's users a script they do not use.
struct ScriptTable {
    platform::LanguageId language;
    platform::LanguageId table;
};
constexpr platform::LanguageId kChineseTraditional = 1028; // zh-TW
constexpr platform::LanguageId kChineseSimplified = 2052;  // zh-CN
constexpr ScriptTable kChineseScripts[] = {
    {0x0004, kChineseSimplified},  // zh-Hans
    {0x1004, kChineseSimplified},  // zh-SG
    {0x0C04, kChineseTraditional}, // zh-HK
    {0x1404, kChineseTraditional}, // zh-MO
    {0x7C04, kChineseTraditional}, // zh-Hant
};

std::uint16_t ReadU16(const std::byte* at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(at[0]) |
                                      (std::to_integer<unsigned>(at[1]) << 8));
}

} // namespace

platform::ResourceRef FindResourceEntry(std::wstring_view type, std::wstring_view name) {
    return platform::FindResourceAnyLanguage(platform::ResourceNameFromText(type),
                                             platform::ResourceNameFromText(name));
}

platform::ResourceRef FindEmbeddedPackage() {
    // The one place the resource script's name for the package is spelt out.
    return FindResourceEntry(L"MSP", L"IDR_MSP");
}

std::uint32_t ResourceSize(platform::ResourceRef resource) {
    return resource ? platform::SizeOfResource(resource) : 0;
}

const std::byte* ResourceBytes(platform::ResourceRef resource) {
    return resource ? platform::BytesOfResource(resource) : nullptr;
}

platform::LanguageId MessageLanguage() {
    return g_messageLanguage ? *g_messageLanguage : platform::UserDefaultUiLanguage();
}

void SetMessageLanguage(platform::LanguageId language) {
    g_messageLanguage = language;
}

void ResetMessageLanguage() {
    g_messageLanguage.reset();
}

LanguageChain LanguagesToTry(platform::LanguageId language) {
    LanguageChain chain;
    auto add = [&chain](platform::LanguageId candidate) {
        for (int i = 0; i < chain.count; ++i) {
            if (chain.languages[i] == candidate) {
                return;
            }
        }
        chain.languages[chain.count++] = candidate;
    };
    add(language);
    for (const ScriptTable& script : kChineseScripts) {
        if (script.language == language) {
            add(script.table);
        }
    }
    add(PrimaryLanguageDefault(language));
    add(platform::kLanguageEnglishUs);
    return chain;
}

bool FindStringInBlock(const std::byte* block, std::uint32_t size, unsigned id,
                       std::wstring& text) {
    std::uint32_t offset = 0;
    for (unsigned index = 0; index < 16; ++index) {
        if (offset > size || size - offset < 2) {
            return false;
        }
        const std::uint32_t length = ReadU16(block + offset);
        offset += 2;
        if (length > (size - offset) / 2) {
            return false;
        }
        if (index == id % 16) {
            if (length == 0) {
                return false;
            }
            text.clear();
            text.reserve(length);
            for (std::uint32_t i = 0; i < length; ++i) {
                text.push_back(static_cast<wchar_t>(ReadU16(block + offset + 2 * i)));
            }
            return true;
        }
        offset += 2 * length;
    }
    return false;
}

int LoadResString(unsigned id, std::wstring& destination, int capacity) {
    destination.clear();
    if (capacity <= 0 || id > 0xFFFF) {
        return 0;
    }
    const auto type = platform::ResourceNameFromId(platform::kResourceTypeString);
    const auto block = platform::ResourceNameFromId(static_cast<std::uint16_t>(id / 16 + 1));
    const LanguageChain chain = LanguagesToTry(MessageLanguage());
    for (int i = 0; i < chain.count; ++i) {
        const platform::ResourceRef found =
            platform::FindResourceInLanguage(type, block, chain.languages[i]);
        const std::byte* bytes = ResourceBytes(found);
        std::wstring text;
        if (bytes == nullptr || !FindStringInBlock(bytes, ResourceSize(found), id, text)) {
            continue;
        }
        if (text.size() > static_cast<std::size_t>(capacity - 1)) {
            text.resize(static_cast<std::size_t>(capacity - 1));
        }
        destination = std::move(text);
        return static_cast<int>(destination.size());
    }
    return 0;
}

} // namespace payload
