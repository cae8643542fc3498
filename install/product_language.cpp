#include "install/product_language.h"

#include "install/version.h"
#include "payload/resource_store.h"
#include "platform/process.h"

namespace install {
namespace {

constexpr std::int32_t kPrimaryLanguageMask = 0x3FF;

} // namespace

void UseProductLanguage(const ProductRecord& record) {
    const std::int32_t language = ParseDecimal(record.language);
    if (!platform::SetThreadLocaleId(static_cast<std::uint32_t>(language))) {
        return;
    }
    if ((language & kPrimaryLanguageMask) == 0) {
        payload::ResetMessageLanguage();
        platform::SetThreadUiLanguage(0);
    } else {
        payload::SetMessageLanguage(static_cast<platform::LanguageId>(language & 0xFFFF));
        platform::SetThreadUiLanguage(static_cast<std::uint16_t>(language & 0xFFFF));
    }
}

void UseUserLanguage() {
    platform::SetThreadLocaleId(platform::kLocaleUserDefault);
    platform::SetThreadUiLanguage(0);
    payload::ResetMessageLanguage();
}

} // namespace install
