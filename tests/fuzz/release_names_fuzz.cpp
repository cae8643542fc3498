// The release names file on any bytes: a file read is one whose every name goes back to the
// same UTF-8, and a name put into 308 leaves no % the run would read as a placeholder.
#include "release_names.h"
#include "utf.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::map<std::uint16_t, std::u16string> names;
    if (corvath::pack::read_release_names(text, names)) {
        if (!names.empty())
            __builtin_trap();
        return 0;
    }
    for (const auto& entry : names) {
        const std::u16string& name = entry.second;
        if (name.empty() ||
            corvath::pack::utf16_from_utf8(corvath::pack::utf8_from_utf16(name)) != name)
            __builtin_trap();
        const std::u16string message = corvath::pack::compose_message_308(u"{release}", name);
        std::size_t run = 0;
        for (const char16_t unit : message + u'.') {
            if (unit == u'%') {
                ++run;
            } else if (run % 2 != 0) {
                __builtin_trap();
            } else {
                run = 0;
            }
        }
    }
    return 0;
}
