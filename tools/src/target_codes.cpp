#include "target_codes.h"

#include "patch_record.h"

#include <fstream>

namespace corvath::patchkit {

using corvath::pack::is_braced_upper_guid;

std::optional<std::vector<std::string>> read_target_codes(const std::string& path,
                                                          std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::vector<std::string> codes;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (!is_braced_upper_guid(line)) {
            error = path + ":" + std::to_string(number) + ": not an upper-case braced GUID";
            return std::nullopt;
        }
        codes.push_back(line);
    }
    if (codes.empty()) {
        error = path + " holds no product code";
        return std::nullopt;
    }
    return codes;
}

} // namespace corvath::patchkit
