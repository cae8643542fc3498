#include "payload/temp_name.h"

#include "platform/files.h"
#include "platform/system.h"

#include <climits>

namespace payload {
namespace {

// The counter of the process: the first attempt adds one to 1 and tries MSP2.
long long g_lastNumber = 1;

// Names that cannot be examined are skipped, but a folder where none can be (an unreachable
// share behind a folder that answered) would otherwise walk the counter towards 2^31.
constexpr int kUnexaminedNamesAllowed = 16;

bool EndsWithSeparator(const std::wstring& directory) {
    return !directory.empty() && (directory.back() == L'\\' || directory.back() == L'/');
}

} // namespace

std::wstring TempNameDirectory(const std::wstring& preferred) {
    // A folder is used only when it is seen to be one: a share that cannot be reached or an
    // empty drive answers neither yes nor no, and is passed over like a missing folder.
    std::wstring tmp;
    if (platform::EnvironmentVariable(L"TMP", tmp) && !tmp.empty() && platform::IsDirectory(tmp)) {
        return tmp;
    }
    if (!preferred.empty() && platform::IsDirectory(preferred)) {
        return preferred;
    }
    const std::wstring root = platform::CurrentDriveRoot();
    if (platform::IsDirectory(root)) {
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
    int unexamined = 0;
    while (g_lastNumber < INT_MAX && unexamined < kUnexaminedNamesAllowed) {
        ++g_lastNumber;
        std::wstring candidate = stem + std::to_wstring(g_lastNumber);
        switch (platform::ExaminePath(candidate)) {
        case platform::PathState::Free:
            name = std::move(candidate);
            return true;
        case platform::PathState::Taken:
            unexamined = 0;
            break;
        case platform::PathState::Unexamined:
            ++unexamined;
            break;
        }
    }
    return false;
}

std::wstring NumberedName(const std::wstring& stem, int attempt, const std::wstring& extension) {
    return attempt <= 1 ? stem + extension : stem + L"-" + std::to_wstring(attempt) + extension;
}

void ResetTempNameCounter() {
    g_lastNumber = 1;
}

} // namespace payload
