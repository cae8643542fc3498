#include "release_names.h"

#include "utf.h"

#include <charconv>

namespace corvath::pack {
namespace {

constexpr std::u16string_view kReleaseMarker = u"{release}";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint16_t> language_id(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::string line_refusal(std::size_t number, std::string_view why) {
    return "release names, line " + std::to_string(number) + ": " + std::string(why);
}

} // namespace

std::optional<std::string> read_release_names(std::string_view file_text,
                                              std::map<std::uint16_t, std::u16string>& names) {
    names.clear();
    std::map<std::uint16_t, std::u16string> read;
    if (file_text.starts_with("\xEF\xBB\xBF")) {
        file_text.remove_prefix(3);
    }
    std::size_t number = 0;
    while (!file_text.empty()) {
        ++number;
        const auto end = file_text.find('\n');
        std::string_view line = file_text.substr(0, end);
        file_text.remove_prefix(end == std::string_view::npos ? file_text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (trimmed(line).empty() || line.starts_with('#')) {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            return line_refusal(number, "not LANGID=text");
        }
        const auto language = language_id(trimmed(line.substr(0, equals)));
        if (!language) {
            return line_refusal(number, "the language id is not a number from 1 to 65535");
        }
        const auto text = utf16_from_utf8(trimmed(line.substr(equals + 1)));
        if (!text) {
            return line_refusal(number, "the text is not UTF-8");
        }
        if (text->empty()) {
            return line_refusal(number, "no text after =");
        }
        for (const char16_t unit : *text) {
            if (unit < 0x20 || unit == 0x7F) {
                return line_refusal(number, "a control character in the text");
            }
        }
        if (!read.emplace(*language, *text).second) {
            return line_refusal(number, "language " + std::to_string(*language) + " given twice");
        }
    }
    names = std::move(read);
    return std::nullopt;
}

std::u16string compose_message_308(std::u16string_view frame, std::u16string_view release) {
    // The run formats 308 with the product name for %s: a % of the name must stay a %.
    std::u16string name;
    for (const char16_t unit : release) {
        name.push_back(unit);
        if (unit == u'%') {
            name.push_back(u'%');
        }
    }
    std::u16string message;
    for (std::size_t at = 0;;) {
        const auto marker = frame.find(kReleaseMarker, at);
        message.append(frame.substr(at, marker - at));
        if (marker == std::u16string_view::npos) {
            return message;
        }
        message.append(name);
        at = marker + kReleaseMarker.size();
    }
}

} // namespace corvath::pack
