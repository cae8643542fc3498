// What the sample products' databases look like, as wixl writes them from
// samples/products/corvath.wxs (msiinfo export File / Media / Property). The transforms
// address these rows, so a change to the .wxs must be mirrored here; the tests compare both.
#pragma once

#include "table_stream.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvath::patchkit::layout {

inline constexpr std::string_view upgrade_code = "{3B7E9A10-2C4D-4E5F-8A9B-1C2D3E4F5A6B}";
inline constexpr std::string_view base_version = "8.1.0.4";
inline constexpr std::string_view patched_version = "8.2.0.5";

inline constexpr std::string_view exe_file_key = "CorvathExe";
inline constexpr std::string_view data_file_key = "CorvathDat";
inline constexpr std::int32_t file_attributes = 0x200;   // vital
inline constexpr std::int32_t last_product_sequence = 2; // corvath.exe 1, corvath.dat 2

inline const std::vector<Column> file_columns = {
    {"File", ColumnType::String, true},       {"Component_", ColumnType::String, false},
    {"FileName", ColumnType::String, false},  {"FileSize", ColumnType::Int32, false},
    {"Version", ColumnType::String, false},   {"Language", ColumnType::String, false},
    {"Attributes", ColumnType::Int16, false}, {"Sequence", ColumnType::Int32, false},
};

inline const std::vector<Column> media_columns = {
    {"DiskId", ColumnType::Int16, true},        {"LastSequence", ColumnType::Int32, false},
    {"DiskPrompt", ColumnType::String, false},  {"Cabinet", ColumnType::String, false},
    {"VolumeLabel", ColumnType::String, false}, {"Source", ColumnType::String, false},
};

inline const std::vector<Column> property_columns = {
    {"Property", ColumnType::String, true},
    {"Value", ColumnType::String, false},
};

} // namespace corvath::patchkit::layout
