// Read access to the embedded resource set: the patch package, the patch-list records and the
// message catalogue.
#pragma once

#include "platform/resources.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace payload {

// A resource of the program's own module, chosen in whatever language it is stored in.
platform::ResourceRef FindResourceEntry(std::wstring_view type, std::wstring_view name);
std::uint32_t ResourceSize(platform::ResourceRef resource);
// The patch package the pack carries: the resource named IDR_MSP of type MSP.
platform::ResourceRef FindEmbeddedPackage();
const std::byte* ResourceBytes(platform::ResourceRef resource);

// Loads catalogue entry `id` into `destination` (always replaced; empty when the entry is
// missing), cut to capacity - 1 characters. Returns the number of characters loaded.
// The language is the message language, then the fallbacks of LanguagesToTry.
int LoadResString(unsigned id, std::wstring& destination, int capacity);

// The language catalogue lookups start from. Until a product language is set it is the
// user's default interface language.
platform::LanguageId MessageLanguage();
void SetMessageLanguage(platform::LanguageId language);
void ResetMessageLanguage();

// The languages a string lookup tries, in order: the language itself, for a Chinese variant the
// table of its script (Singapore: Simplified; Hong Kong, Macao: Traditional), the default
// sublanguage of its primary language, then US English, which holds every id. Duplicates are
// left out.
struct LanguageChain {
    platform::LanguageId languages[4] = {};
    int count = 0;
};
LanguageChain LanguagesToTry(platform::LanguageId language);

// Finds entry `id` in one string-table block (16 counted UTF-16 strings). False when the block
// is malformed or the entry is empty; an empty entry is how the format says "missing".
bool FindStringInBlock(const std::byte* block, std::uint32_t size, unsigned id, std::wstring& text);

} // namespace payload
