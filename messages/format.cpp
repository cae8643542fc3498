#include "messages/format.h"

#include <algorithm>

namespace messages {
namespace {

constexpr std::size_t kWsprintfLimit = 1024;

std::wstring IntegerText(std::int32_t value) {
    // Through 64 bits so that the most negative value has a magnitude.
    return std::to_wstring(static_cast<long long>(value));
}

} // namespace

std::wstring FormatTemplate(std::wstring_view pattern, const std::vector<FormatArgument>& arguments,
                            std::size_t bufferSize) {
    const std::size_t capacity = std::min(bufferSize, kWsprintfLimit);
    if (capacity == 0) {
        return {};
    }
    const std::size_t maxLength = capacity - 1;
    std::wstring out;
    std::size_t next = 0;
    auto append = [&](std::wstring_view piece) {
        out.append(piece.substr(0, maxLength - std::min(maxLength, out.size())));
    };

    for (std::size_t i = 0; i < pattern.size() && out.size() < maxLength; ++i) {
        if (pattern[i] != L'%' || i + 1 >= pattern.size()) {
            append(pattern.substr(i, 1));
            continue;
        }
        std::size_t j = i + 1;
        if (pattern[j] == L'%') {
            append(L"%");
            i = j;
            continue;
        }
        if (pattern[j] == L'l' || pattern[j] == L'h' || pattern[j] == L'w') {
            ++j;
        }
        const wchar_t type = j < pattern.size() ? pattern[j] : L'\0';
        const bool isInteger = type == L'd' || type == L'i';
        if (!isInteger && type != L's') {
            append(pattern.substr(i, 1));
            continue;
        }
        i = j;
        if (next >= arguments.size()) {
            continue;
        }
        const FormatArgument& argument = arguments[next++];
        if (isInteger) {
            append(argument.kind == FormatArgument::Kind::Integer ? IntegerText(argument.integer)
                                                                  : std::wstring{});
        } else {
            append(argument.kind == FormatArgument::Kind::Text ? argument.text : std::wstring{});
        }
    }
    return out;
}

} // namespace messages
