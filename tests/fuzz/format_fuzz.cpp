// The template formatter on any template, arguments and buffer size: what it gives never
// needs more than the buffer, terminator included, nor more than wsprintfW's 1024 characters.
#include "messages/format.h"
#include "platform/files.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t buffer = input.ConsumeIntegralInRange<std::size_t>(0, 2048);
    std::vector<messages::FormatArgument> arguments;
    for (int count = input.ConsumeIntegralInRange(0, 4); count > 0; --count)
        arguments.push_back(input.ConsumeBool() ? messages::FormatArgument::Integer(
                                                      input.ConsumeIntegral<std::int32_t>())
                                                : messages::FormatArgument::Text(platform::FromUtf8(
                                                      input.ConsumeRandomLengthString(64))));
    const std::wstring pattern = platform::FromUtf8(input.ConsumeRemainingBytesAsString());
    const std::wstring out = messages::FormatTemplate(pattern, arguments, buffer);
    if (out.size() + 1 > std::max<std::size_t>(1, std::min<std::size_t>(buffer, 1024)))
        __builtin_trap();
    return 0;
}
