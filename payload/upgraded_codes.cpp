#include "payload/upgraded_codes.h"

#include "payload/resource_store.h"

namespace payload {

std::vector<std::wstring> UpgradedProductCodes() {
    const platform::ResourceRef resource = FindResourceEntry(L"#10", L"UPGRADED_CODES");
    const std::byte* bytes = ResourceBytes(resource);
    const std::uint32_t size = ResourceSize(resource);
    std::vector<std::wstring> codes;
    std::wstring code;
    for (std::uint32_t at = 0; bytes != nullptr && at + 1 < size; at += 2) {
        const auto unit = static_cast<wchar_t>(std::to_integer<unsigned>(bytes[at]) |
                                               (std::to_integer<unsigned>(bytes[at + 1]) << 8));
        if (unit == L'\0') {
            break;
        }
        if (unit == L';') {
            if (!code.empty()) {
                codes.push_back(code);
            }
            code.clear();
        } else {
            code += unit;
        }
    }
    if (!code.empty()) {
        codes.push_back(code);
    }
    return codes;
}

} // namespace payload
