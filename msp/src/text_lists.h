// Lists as the package's texts and the pack's options write them: items between separators.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace corvath::msp {

inline std::string joined(const std::vector<std::string>& items, std::string_view separator) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty())
            text += separator;
        text += item;
    }
    return text;
}

// "a;b" -> {"a", "b"}; an empty text is one empty item, as Windows Installer splits.
inline std::vector<std::string> split_list(std::string_view text, char separator) {
    std::vector<std::string> items;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        items.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

} // namespace corvath::msp
