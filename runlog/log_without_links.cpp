#include "runlog/log_without_links.h"

#include "platform/system.h"

#include <algorithm>

namespace runlog {
namespace {

// A reparse point, or a handle that cannot say whether it is one.
bool IsOrMayBeLink(platform::File& folder) {
    platform::LinkFacts facts;
    return !platform::ReadLinkFacts(folder, facts) || facts.reparsePoint;
}

} // namespace

platform::File OpenLogWithoutLinks(const std::wstring& path, std::vector<platform::File>& held,
                                   std::uint32_t& error) {
    held.clear();
    auto refuse = [&error](std::uint32_t why) {
        error = why;
        return platform::File();
    };
    std::wstring rootName;
    std::vector<std::wstring> names;
    if (!platform::SplitFullPath(path, rootName, names)) {
        return refuse(platform::LastError());
    }
    platform::File root = platform::OpenRootFolder(rootName);
    if (!root.IsOpen()) {
        return refuse(platform::LastError());
    }
    // Checking names and then opening the path would leave the moment between to whoever may
    // write in one of the folders: each is opened in the handle of the one checked before it.
    std::vector<platform::File> folders;
    folders.reserve(names.size());
    for (std::size_t at = 0; at + 1 < names.size(); ++at) {
        platform::File folder =
            platform::HoldFolderIn(folders.empty() ? root : folders.back(), names[at]);
        if (!folder.IsOpen()) {
            return refuse(platform::LastError());
        }
        if (IsOrMayBeLink(folder)) {
            return refuse(kErrorStoppedOnLink);
        }
        folders.push_back(std::move(folder));
    }
    platform::File file =
        platform::OpenToAppendIn(folders.empty() ? root : folders.back(), names.back());
    if (!file.IsOpen()) {
        return refuse(platform::LastError());
    }
    // A held folder can still become a junction in place while it is empty, as the last one may
    // be until the file is made in it: checked again once the file is there.
    platform::LinkFacts facts;
    if (!platform::ReadLinkFacts(file, facts) || facts.reparsePoint || facts.names != 1 ||
        std::any_of(folders.begin(), folders.end(), IsOrMayBeLink)) {
        return refuse(kErrorStoppedOnLink);
    }
    held = std::move(folders);
    error = 0;
    return file;
}

} // namespace runlog
