// Versions and decimal numbers as Windows Installer's properties give them, on any text in
// UTF-8; and any 32-bit number, written out, reads back as itself.
#include "install/version.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text =
        platform::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    install::ParseVersion(text);
    install::ParseDecimal(text);
    if (size >= sizeof(std::int32_t)) {
        std::int32_t number = 0;
        std::memcpy(&number, data, sizeof number);
        if (install::ParseDecimal(std::to_wstring(number)) != number)
            __builtin_trap();
    }
    return 0;
}
