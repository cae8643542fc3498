#include "install/product_language.h"

#include "install/version.h"
#include "payload/resource_store.h"
#include "platform/process.h"
#include "platform/resources.h"

namespace install {
namespace {

constexpr std::int32_t kPrimaryLanguageMask = 0x3FF;

} // namespace

void UseProductLanguage(const ProductRecord& record) {
    const std::int32_t language = ParseDecimal(record.language);
    // LCID 0 is no locale to set: a neutral language is the user's.
    if ((language & kPrimaryLanguageMask) == 0) {
        UseUserLanguage();
        return;
    }
    if (!platform::SetThreadLocaleId(static_cast<std::uint32_t>(language))) {
        return;
    }
    payload::SetMessageLanguage(static_cast<platform::LanguageId>(language & 0xFFFF));
    platform::SetThreadUiLanguage(static_cast<std::uint16_t>(language & 0xFFFF));
}

void UseUserLanguage() {
    platform::SetThreadLocaleId(platform::kLocaleUserDefault);
    // SetThreadUILanguage(0) would pick the language that best suits a console, not the user's:
    // the buttons of a Japanese box could come in English.
    platform::SetThreadUiLanguage(platform::UserDefaultUiLanguage());
    payload::ResetMessageLanguage();
}

} // namespace install
