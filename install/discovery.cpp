#include "install/discovery.h"

#include "install/version.h"
#include "platform/msi.h"
#include "runlog/run_log.h"

#include <algorithm>
#include <map>
#include <vector>

namespace install {
namespace {

constexpr int kStateAdvertised = 1;
constexpr int kStateDefault = 5;
constexpr std::uint32_t kPropertyCapacity = 1024;
// A value that grows between two reads asks once more; a third "more data" gives up.
constexpr int kPropertyReads = 3;

bool IsInstalledState(int state) {
    return state == kStateDefault || state == kStateAdvertised;
}

} // namespace

std::vector<ProductRecord>& ProductList() {
    static std::vector<ProductRecord> products;
    return products;
}

bool IsProductInstalled(const std::wstring& productCode) {
    return IsInstalledState(platform::MsiProductState(productCode));
}

std::wstring ReadProductProperty(const std::wstring& productCode, const wchar_t* propertyName) {
    std::vector<wchar_t> buffer(kPropertyCapacity, L'\0');
    std::uint32_t length = kPropertyCapacity;
    for (int read = 1; read <= kPropertyReads; ++read) {
        // Windows Installers differ on what a value too long for the buffer leaves in it (Wine's
        // leaves nothing): read it whole, and keep what the 1024-character buffer would hold.
        if (platform::MsiProductInfo(productCode, propertyName, buffer.data(), length) !=
                platform::kErrorMoreData ||
            read == kPropertyReads) {
            break;
        }
        length += 1;
        buffer.assign(length, L'\0');
    }
    // Whatever the result, the buffer is read up to its first NUL; a failed read leaves it empty.
    buffer.back() = L'\0';
    std::wstring value(buffer.data());
    if (value.size() > kPropertyCapacity - 1) {
        value.resize(kPropertyCapacity - 1);
    }
    return value;
}

void DiscoverProducts(const ProductRecord& prototype, const std::wstring& targetText) {
    const auto codes = 1 + std::count(targetText.begin(), targetText.end(), L';');
    runlog::Log(L"target list, " + std::to_wstring(codes) + L" codes: " +
                runlog::Quoted(targetText));
    // The codes that are not installed are told by their number for each state: the list above
    // names them, and an administrator reads for the installed ones.
    std::map<int, int> notInstalled;
    std::wstring remaining = targetText + L";";
    for (;;) {
        const std::size_t end = remaining.find(L';');
        if (end == std::wstring::npos || end == 0) {
            break;
        }
        ProductRecord record = prototype;
        record.productCode = remaining.substr(0, end);
        const int state = platform::MsiProductState(record.productCode);
        if (IsInstalledState(state)) {
            record.installedVersion = ReadProductProperty(record.productCode, L"VersionString");
            record.productName = ReadProductProperty(record.productCode, L"ProductName");
            record.language = ReadProductProperty(record.productCode, L"Language");
            runlog::Log(L"target " + record.productCode + L": state " + std::to_wstring(state) +
                        L", installed: ProductName " + runlog::Quoted(record.productName) +
                        L", VersionString " + runlog::Quoted(record.installedVersion) +
                        L", Language " + runlog::Quoted(record.language));
            ProductList().push_back(std::move(record));
        } else {
            ++notInstalled[state];
        }
        remaining.erase(0, end + 1);
    }
    for (const auto& [state, count] : notInstalled) {
        runlog::Log(L"not installed: " + std::to_wstring(count) + L" of the codes, state " +
                    std::to_wstring(state));
    }
}

void DiscoverUpgradedProducts(const ProductRecord& prototype,
                              const std::vector<std::wstring>& upgradedCodes) {
    const VersionQuad target = ParseVersion(prototype.targetVersion);
    for (const std::wstring& code : upgradedCodes) {
        const auto listed = std::find_if(
            ProductList().begin(), ProductList().end(),
            [&code](const ProductRecord& record) { return record.productCode == code; });
        if (listed != ProductList().end() || !IsProductInstalled(code)) {
            continue;
        }
        ProductRecord record = prototype;
        record.productCode = code;
        record.installedVersion = ReadProductProperty(code, L"VersionString");
        record.productName = ReadProductProperty(code, L"ProductName");
        record.language = ReadProductProperty(code, L"Language");
        if (!VersionAtLeast(ParseVersion(record.installedVersion), target)) {
            runlog::Log(L"product " + code + L", a code the patch upgrades to, is at " +
                        runlog::Quoted(record.installedVersion) + L", below the target " +
                        prototype.targetVersion + L": not a target");
            continue;
        }
        runlog::Log(L"target " + code +
                    L": installed under a code the patch upgrades to: "
                    L"ProductName " +
                    runlog::Quoted(record.productName) + L", VersionString " +
                    runlog::Quoted(record.installedVersion) + L", Language " +
                    runlog::Quoted(record.language));
        record.underUpgradedCode = true;
        ProductList().push_back(std::move(record));
    }
}

} // namespace install
