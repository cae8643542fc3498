// The fixed texts and codes of the sample service pack.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvath::patchkit::sample {

inline constexpr std::string_view patch_code = "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
inline constexpr std::uint64_t package_size = 16'049'664;

inline constexpr std::string_view title = "Corvath 8.2 Service Pack for 8.1 users";
// The name under installed updates, and the family whose later packs supersede this one.
inline constexpr std::string_view display_name = "Corvath 8.2.0.5 Service Pack";
inline constexpr std::string_view patch_family = "CorvathServicePack";
static_assert(title.size() == 38);

// One line: the record stores it after "PatchDesc=" and ends the line with CR LF.
inline constexpr std::string_view description =
    "This service pack brings Corvath 8.1.0.4 up to version 8.2.0.5 and keeps all of your "
    "settings, documents and licence information where they are. It replaces the main program "
    "with a rebuilt version that starts faster, uses less memory while large projects are open, "
    "and no longer stops responding when a network drive disappears during an automatic save. "
    "The shared data file is refreshed with corrected conversion tables, updated regional "
    "formats for dates and currencies, and revised help texts in all supported languages. "
    "Several rare crashes reported by customers during printing and export have been fixed. "
    "Close Corvath before you install the service pack; a restart of Windows is normally not "
    "required.";
static_assert(description.size() == 708);

} // namespace corvath::patchkit::sample

// A patch unlike the sample, as vendors often ship them: for a product whose ProductVersion has
// three fields, it replaces the data file and leaves the version as it is.
namespace corvath::patchkit::small_update {

inline constexpr std::string_view patch_code = "{B7C1D2E3-1111-4A1B-9C2D-3E4F5A6B7C8D}";
inline constexpr std::string_view version = "1.1.1";
inline constexpr std::string_view title = "Corvath 1.1.1 data file fix";
inline constexpr std::string_view display_name = "Corvath 1.1.1 Data Fix";
inline constexpr std::string_view patch_family = "CorvathDataFix";
inline constexpr std::string_view transform_prefix = "CorvathDataFix";
// The second baseline the patch carries a pair for, keeping it too: a run on 1.1.1 applies the
// first pair, and Windows Installer skips the second. Another major version, as Wine 8 compares
// no more than the major version of a transform whose lower word of property 16 is 0x1F.
inline constexpr std::string_view second_version = "2.1.1";
inline constexpr std::string_view second_pair_suffix = "_211";
inline constexpr std::uint64_t data_size = 3000; // the installed corvath.dat is far smaller

} // namespace corvath::patchkit::small_update
