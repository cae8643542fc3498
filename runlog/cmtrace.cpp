#include "runlog/cmtrace.h"

#include <cstdio>
#include <cstdlib>

namespace runlog {
namespace {

constexpr std::string_view kMessageEnd = "]LOG]!>";
constexpr std::string_view kMessageEndEscaped = "]LOG]!&gt;";
constexpr char kComponent[] = "corvath-sp";

} // namespace

std::string CmTraceMessage(std::string_view message) {
    std::string out;
    out.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        const auto c = static_cast<unsigned char>(message[i]);
        if (message.substr(i, kMessageEnd.size()) == kMessageEnd) {
            out += kMessageEndEscaped;
            i += kMessageEnd.size() - 1;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string CmTraceLine(std::string_view message, const platform::LocalTime& at, int biasMinutes,
                        Severity severity, std::uint32_t thread) {
    char attributes[160];
    std::snprintf(attributes, sizeof attributes,
                  "<time=\"%02d:%02d:%02d.%03d%c%d\" date=\"%02d-%02d-%04d\" component=\"%s\" "
                  "context=\"\" type=\"%d\" thread=\"%u\" file=\"\">\r\n",
                  at.hour, at.minute, at.second, at.millisecond, biasMinutes < 0 ? '-' : '+',
                  std::abs(biasMinutes), at.month, at.day, at.year, kComponent,
                  static_cast<int>(severity), static_cast<unsigned>(thread));
    return "<![LOG[" + CmTraceMessage(message) + "]LOG]!>" + attributes;
}

} // namespace runlog
