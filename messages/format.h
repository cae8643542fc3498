// Fills a catalogue template by the wsprintfW rules for %d and %s.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace messages {

struct FormatArgument {
    enum class Kind { Integer, Text } kind;
    std::int32_t integer = 0;
    std::wstring text;

    static FormatArgument Integer(std::int32_t value) { return {Kind::Integer, value, {}}; }
    static FormatArgument Text(std::wstring value) { return {Kind::Text, 0, std::move(value)}; }
};

// Formats `pattern` into at most `bufferSize` characters, terminator included, as wsprintfW
// would into a buffer of that size (never more than 1024). %d and %i take a signed 32-bit
// integer, %s a text, %% is a percent sign; an l, h or w size prefix is accepted. A
// placeholder without a matching argument yields nothing: we never read a value that the
// caller did not pass. Other sequences are copied as they stand.
std::wstring FormatTemplate(std::wstring_view pattern, const std::vector<FormatArgument>& arguments,
                            std::size_t bufferSize);

} // namespace messages
