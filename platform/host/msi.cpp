// The simulated machine's Windows Installer: its products and the patches applied to them,
// and summaries of real compound files, read with the reader the pack's build checks its patch
// with (msp/).
#include "platform/msi.h"
#include "platform/files.h"
#include "platform/system.h"

#include "msp/patch_summary.h"
#include "platform/host/simulation.h"

#include <map>
#include <string>

namespace platform {
namespace {

constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorUnknownProperty = 1608;
constexpr unsigned kPropertyTemplate = 7;
constexpr unsigned kPropertyRevision = 9;
constexpr int kStateUnknown = -1;

std::map<MsiHandle, corvath::msp::PatchSummary>& OpenSummaries() {
    static std::map<MsiHandle, corvath::msp::PatchSummary> summaries;
    return summaries;
}

MsiHandle g_nextHandle = 1;

constexpr std::size_t kPatchCodeLength = 38;

bool IsSuccess(std::uint32_t result) {
    return result == 0 || result == 1641 || result == 3010;
}

// What Windows Installer does after a patch is applied: the patch named by PATCH="..." is
// registered on the product under the code its summary gives.
void RegisterAppliedPatch(host::InstalledProduct& product, const std::wstring& commandLine) {
    const std::wstring key = L"PATCH=\"";
    const std::size_t start = commandLine.find(key);
    if (!product.registersPatches || start == std::wstring::npos) {
        return;
    }
    const std::size_t end = commandLine.find(L'"', start + key.size());
    const std::wstring path = commandLine.substr(start + key.size(), end - start - key.size());
    const auto summary = corvath::msp::read_patch_summary(Utf8(path));
    if (!summary.ok() || !summary.value.revision) {
        return;
    }
    const std::string code = summary.value.revision->substr(0, kPatchCodeLength);
    host::AppliedPatch applied;
    applied.context = product.context;
    product.patches[std::wstring(code.begin(), code.end())] = applied;
}

} // namespace

std::uint32_t MsiOpenSummary(const std::wstring& fullPath, MsiHandle& handle) {
    auto summary = corvath::msp::read_patch_summary(Utf8(fullPath));
    if (!summary.ok()) {
        handle = 0;
        return kErrorOpenFailed;
    }
    handle = g_nextHandle++;
    OpenSummaries().emplace(handle, std::move(summary.value));
    return kErrorSuccess;
}

std::uint32_t MsiSummaryText(MsiHandle handle, unsigned property, wchar_t* buffer,
                             std::uint32_t& length) {
    host::TheSimulation().summaryReads.push_back(length);
    const auto found = OpenSummaries().find(handle);
    if (found == OpenSummaries().end()) {
        return kErrorInvalidHandle;
    }
    const std::optional<std::string>* value = nullptr;
    if (property == kPropertyTemplate) {
        value = &found->second.targets;
    } else if (property == kPropertyRevision) {
        value = &found->second.revision;
    } else {
        return kErrorUnknownProperty;
    }
    if (!value->has_value()) {
        return kErrorSuccess; // an empty property: the buffer is left alone
    }
    const std::string& text = **value;
    if (length <= text.size()) {
        // As msi.dll: as much as fits, terminated, and the length the caller needs.
        if (length > 0) {
            const std::size_t fits = length - 1;
            for (std::size_t i = 0; i < fits; ++i) {
                buffer[i] = static_cast<unsigned char>(text[i]);
            }
            buffer[fits] = L'\0';
        }
        length = static_cast<std::uint32_t>(text.size());
        return kErrorMoreData;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        buffer[i] = static_cast<unsigned char>(text[i]);
    }
    buffer[text.size()] = L'\0';
    length = static_cast<std::uint32_t>(text.size());
    return kErrorSuccess;
}

void MsiClose(MsiHandle handle) {
    OpenSummaries().erase(handle);
}

int MsiProductState(const std::wstring& productCode) {
    host::Simulation& simulation = host::TheSimulation();
    simulation.productQueries.push_back(productCode);
    const auto found = simulation.products.find(productCode);
    return found == simulation.products.end() ? kStateUnknown : found->second.state;
}

std::uint32_t MsiProductInfo(const std::wstring& productCode, const wchar_t* property,
                             wchar_t* buffer, std::uint32_t& length) {
    const auto product = host::TheSimulation().products.find(productCode);
    if (product == host::TheSimulation().products.end()) {
        return kErrorUnknownProduct;
    }
    const auto value = product->second.properties.find(property);
    if (value == product->second.properties.end()) {
        return kErrorUnknownProperty;
    }
    if (value->second.size() >= length) {
        length = static_cast<std::uint32_t>(value->second.size());
        return kErrorMoreData;
    }
    value->second.copy(buffer, value->second.size());
    buffer[value->second.size()] = L'\0';
    length = static_cast<std::uint32_t>(value->second.size());
    return kErrorSuccess;
}

std::uint32_t MsiSetUiLevel(std::uint32_t level) {
    const std::uint32_t previous = host::TheSimulation().uiLevel;
    host::TheSimulation().uiLevel = level;
    return previous;
}

std::uint32_t MsiEnableVerboseLog(const std::wstring& path) {
    host::TheSimulation().installerLogs.push_back(path);
    return kErrorSuccess;
}

std::uint32_t MsiApplyToProduct(const std::wstring& productCode, const std::wstring& commandLine) {
    host::Simulation& simulation = host::TheSimulation();
    const auto installerMutex = simulation.mutexes.find(L"Global\\_MSIExecute");
    simulation.configureCalls.push_back(
        {productCode, commandLine, simulation.uiLevel, simulation.threadLocale,
         installerMutex != simulation.mutexes.end() && installerMutex->second.ownedByUs > 0});
    const auto product = simulation.products.find(productCode);
    if (product == simulation.products.end()) {
        return kErrorUnknownProduct;
    }
    std::deque<std::uint32_t>& first = product->second.firstResults;
    std::uint32_t result = product->second.configureResult;
    if (!first.empty()) {
        result = first.front();
        first.pop_front();
    }
    if (IsSuccess(result)) {
        RegisterAppliedPatch(product->second, commandLine);
    }
    return result;
}

std::uint32_t MsiPatchInfoIn(InstallContext context, const std::wstring& patchCode,
                             const std::wstring& productCode, const wchar_t* property,
                             std::wstring& value) {
    const auto product = host::TheSimulation().products.find(productCode);
    if (product == host::TheSimulation().products.end()) {
        return kErrorUnknownProduct;
    }
    const auto error = product->second.contextErrors.find(static_cast<unsigned>(context));
    if (error != product->second.contextErrors.end()) {
        return error->second;
    }
    const auto patch = product->second.patches.find(patchCode);
    if (patch == product->second.patches.end() ||
        patch->second.context != static_cast<unsigned>(context)) {
        return kErrorUnknownPatch;
    }
    const std::wstring name = property;
    value = name == L"State"           ? patch->second.state
            : name == L"Uninstallable" ? patch->second.uninstallable
                                       : std::wstring();
    return kErrorSuccess;
}

std::uint32_t MsiPatchVerdictIn(InstallContext context, const std::wstring& productCode,
                                const std::wstring& patchPath, PatchVerdict& verdict) {
    host::Simulation& simulation = host::TheSimulation();
    simulation.verdictCalls.push_back({productCode, patchPath, static_cast<unsigned>(context)});
    const auto product = simulation.products.find(productCode);
    // Wine answers a context without the product as a bad configuration; Windows as unknown.
    if (product == simulation.products.end() ||
        product->second.context != static_cast<unsigned>(context)) {
        return kErrorBadConfiguration;
    }
    verdict.status = product->second.patchVerdict;
    verdict.order = product->second.patchOrder;
    return kErrorSuccess;
}

std::uint32_t MsiRemovePatch(const std::wstring& patchCode, const std::wstring& productCode,
                             const std::wstring& properties) {
    host::Simulation& simulation = host::TheSimulation();
    simulation.removeCalls.push_back(
        {patchCode, productCode, properties, simulation.uiLevel, simulation.threadLocale});
    const auto product = simulation.products.find(productCode);
    if (product == simulation.products.end()) {
        return kErrorUnknownProduct;
    }
    host::InstalledProduct& installed = product->second;
    std::uint32_t result = installed.removeResult;
    if (!installed.firstRemoveResults.empty()) {
        result = installed.firstRemoveResults.front();
        installed.firstRemoveResults.pop_front();
    }
    if (IsSuccess(result) && !installed.removalLeavesPatch) {
        installed.patches.erase(patchCode);
    }
    return result;
}

} // namespace platform
