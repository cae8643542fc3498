// The Windows Installer operations the service pack calls (msi.dll on Windows).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using MsiHandle = std::uint32_t;

constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorUnknownProduct = 1605;
constexpr std::uint32_t kErrorBadConfiguration = 1610;
constexpr std::uint32_t kErrorUnknownPatch = 1647;

// MsiGetSummaryInformationW(0, path, 0, &handle): opens a package's summary for reading.
std::uint32_t MsiOpenSummary(const std::wstring& fullPath, MsiHandle& handle);
// MsiSummaryInfoGetPropertyW for a text property. `length` is the buffer's capacity in
// characters on entry; on 234 it holds the length needed without the terminator. A property
// the summary does not hold leaves the buffer as it was.
std::uint32_t MsiSummaryText(MsiHandle handle, unsigned property, wchar_t* buffer,
                             std::uint32_t& length);
void MsiClose(MsiHandle handle);

// Owns a Windows Installer handle and closes it once.
class MsiHandleOwner {
  public:
    explicit MsiHandleOwner(MsiHandle handle) : handle_(handle) {}
    MsiHandleOwner(const MsiHandleOwner&) = delete;
    MsiHandleOwner& operator=(const MsiHandleOwner&) = delete;
    ~MsiHandleOwner() {
        if (handle_ != 0) {
            MsiClose(handle_);
        }
    }
    MsiHandle Get() const { return handle_; }

  private:
    MsiHandle handle_;
};

// MsiQueryProductStateW: 5 installed, 1 advertised, anything else not installed.
int MsiProductState(const std::wstring& productCode);
// MsiGetProductInfoW into `buffer` of `length` characters.
std::uint32_t MsiProductInfo(const std::wstring& productCode, const wchar_t* property,
                             wchar_t* buffer, std::uint32_t& length);
// MsiSetInternalUI(level, no window): returns the level in force before.
std::uint32_t MsiSetUiLevel(std::uint32_t level);
// MsiEnableLogW: the installer's verbose log, every mode, appended to `path` and flushed line by
// line, for the installations that follow in this process.
std::uint32_t MsiEnableVerboseLog(const std::wstring& path);
// MsiConfigureProductExW(code, install level 0, INSTALLSTATE_DEFAULT, commandLine).
std::uint32_t MsiApplyToProduct(const std::wstring& productCode, const std::wstring& commandLine);

// Where Windows Installer registers a product and its patches (MSIINSTALLCONTEXT).
enum class InstallContext : unsigned { UserManaged = 1, UserUnmanaged = 2, Machine = 4 };

// MsiGetPatchInfoExW in one context: a property ("State", "Uninstallable", "DisplayName") of a
// patch on a product. kErrorUnknownPatch, or 1605 (unknown product), when the context does not
// know them.
std::uint32_t MsiPatchInfoIn(InstallContext context, const std::wstring& patchCode,
                             const std::wstring& productCode, const wchar_t* property,
                             std::wstring& value);
// Windows Installer's answer for one patch in MsiDeterminePatchSequenceW: its status (0, or
// 1642 when it does not apply) and its place in the order of application, kNotInSequence when it
// takes none. Status 0 with no place: the patch is superseded or obsoleted on the product.
struct PatchVerdict {
    std::uint32_t status = 0;
    std::uint32_t order = 0;
};
constexpr std::uint32_t kNotInSequence = 0xFFFFFFFF; // dwOrder -1

// MsiDeterminePatchSequenceW for one patch file on a product in one context: Windows
// Installer's own verdict whether the patch applies to it. The call's result (1605 or 1610 when
// the context does not know the product); on success `verdict` holds the patch's answer.
std::uint32_t MsiPatchVerdictIn(InstallContext context, const std::wstring& productCode,
                                const std::wstring& patchPath, PatchVerdict& verdict);
// MsiRemovePatchesW(patch code, product, INSTALLTYPE_SINGLE_INSTANCE, properties).
std::uint32_t MsiRemovePatch(const std::wstring& patchCode, const std::wstring& productCode,
                             const std::wstring& properties);

} // namespace platform
