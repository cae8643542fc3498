#include "payload/temp_name.h"

#include "platform/files.h"

#include <climits>

namespace payload {
namespace {

// The counter of the process: the first attempt adds one to 1 and tries MSP2.
long long g_lastNumber = 1;

bool EndsWithSeparator(const std::wstring& directory) {
    return !directory.empty() && (directory.back() == L'\\' || directory.back() == L'/');
}

} // namespace

std::wstring TempNameDirectory(const std::wstring& preferred) {
    std::wstring tmp;
    if (platform::EnvironmentVariable(L"TMP", tmp) && !tmp.empty() && platform::PathExists(tmp)) {
        return tmp;
    }
    if (!preferred.empty() && platform::PathExists(preferred)) {
        return preferred;
    }
    const std::wstring root(1, platform::kPathSeparator);
    if (platform::PathExists(root)) {
        return root;
    }
    return L".";
}

bool NextTempName(const std::wstring& preferred, std::wstring& name) {
    std::wstring stem = TempNameDirectory(preferred);
    if (!EndsWithSeparator(stem)) {
        stem.push_back(platform::kPathSeparator);
    }
    stem += L"MSP";
    while (g_lastNumber < INT_MAX) {
        ++g_lastNumber;
        std::wstring candidate = stem + std::to_wstring(g_lastNumber);
        if (!platform::PathExists(candidate)) {
            name = std::move(candidate);
            return true;
        }
    }
    return false;
}

void ResetTempNameCounter() {
    g_lastNumber = 1;
}

} // namespace payload
