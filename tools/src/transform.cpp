#include "transform.h"

#include "product_layout.h"
#include "property_set.h"
#include "stream_name.h"
#include "string_pool.h"
#include "table_stream.h"

#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace corvath::patchkit {
namespace {

namespace lay = layout;

constexpr std::uint32_t pid_template = 7;
constexpr std::uint32_t pid_revision = 9;
constexpr std::uint32_t pid_validation = 16;

constexpr std::int16_t patch_disk_id = 2;
constexpr std::int32_t patch_added_attribute = 0x1000;

struct TableBuilder {
    std::string name;
    Bytes rows;
};

const std::string& to_product_of(const TransformTarget& target) {
    return target.to_product_code.empty() ? target.product_code : target.to_product_code;
}

// `from_to` is property 9: "X" names the product before and after; "#X", checked once "X" has
// changed the product, names it after, twice, as real patch tools write it.
std::optional<StorageNode> finish_transform(const std::string& storage_name,
                                            const TransformTarget& target,
                                            const std::string& from_to, const StringPool& pool,
                                            const std::vector<TableBuilder>& tables) {
    // Template "x64;1033": the platform and language of the product packages wixl writes
    // (wixl puts 1033 there whatever the product's Language).
    auto summary = write_summary_information({
        {pid_template, std::string("x64;1033")},
        {pid_revision, from_to + ";" + std::string(lay::upgrade_code)},
        {pid_validation, target.validation},
    });
    if (!summary)
        return std::nullopt;

    StorageNode node;
    node.name = ascii_name(storage_name);
    node.class_id = msi_transform_class;
    node.streams.push_back({u"\005SummaryInformation", std::move(*summary)});
    node.streams.push_back(
        {encode_stream_name("_StringPool", StreamKind::Table), pool.pool_stream()});
    node.streams.push_back(
        {encode_stream_name("_StringData", StreamKind::Table), pool.data_stream()});
    for (const TableBuilder& table : tables)
        node.streams.push_back({encode_stream_name(table.name, StreamKind::Table), table.rows});
    return node;
}

// The files the patch brings, in cabinet order, after the product's own sequence numbers.
std::vector<std::pair<std::string_view, std::int32_t>>
patched_files(const TransformTarget& target) {
    std::vector<std::pair<std::string_view, std::int32_t>> files;
    if (target.replaces_exe)
        files.push_back({lay::exe_file_key, 0});
    files.push_back({lay::data_file_key, 0});
    for (std::size_t i = 0; i < files.size(); ++i)
        files[i].second = lay::last_product_sequence + 1 + static_cast<std::int32_t>(i);
    return files;
}

std::optional<StorageNode> build_upgrade_transform(const TransformTarget& target) {
    StringPool pool;
    TableBuilder property{"Property", {}};
    TableBuilder file{"File", {}};
    const std::string& version = target.to_version;

    bool encoded = true;
    if (target.from_version != target.to_version)
        encoded = encode_row(lay::property_columns,
                             {RowChange::Kind::Update,
                              {CellValue{std::string("ProductVersion")}, CellValue{version}}},
                             pool, property.rows);
    if (to_product_of(target) != target.product_code)
        encoded =
            encoded &&
            encode_row(lay::property_columns,
                       {RowChange::Kind::Update,
                        {CellValue{std::string("ProductCode")}, CellValue{to_product_of(target)}}},
                       pool, property.rows);
    if (target.replaces_exe)
        encoded = encoded &&
                  encode_row(lay::file_columns,
                             {RowChange::Kind::Update,
                              {CellValue{std::string(lay::exe_file_key)}, std::nullopt,
                               std::nullopt, CellValue{static_cast<std::int32_t>(target.exe_size)},
                               // Must exceed the installed file's version, or the installer keeps
                               // it.
                               CellValue{version}, std::nullopt, std::nullopt, std::nullopt}},
                             pool, file.rows);
    encoded = encoded &&
              encode_row(lay::file_columns,
                         {RowChange::Kind::Update,
                          {CellValue{std::string(lay::data_file_key)}, std::nullopt, std::nullopt,
                           CellValue{static_cast<std::int32_t>(target.data_size)}, std::nullopt,
                           std::nullopt, std::nullopt, std::nullopt}},
                         pool, file.rows);
    if (!encoded)
        return std::nullopt;
    std::vector<TableBuilder> tables;
    if (!property.rows.empty())
        tables.push_back(property);
    tables.push_back(file);
    return finish_transform(target.storage_name, target,
                            target.product_code + target.from_version + ";" +
                                to_product_of(target) + target.to_version,
                            pool, tables);
}

std::optional<StorageNode> build_patch_transform(const TransformTarget& target) {
    StringPool pool;
    TableBuilder media{"Media", {}};
    TableBuilder file{"File", {}};

    // The installer moves files marked PatchAdded onto this disk and, because Source and
    // Cabinet are both set, reads them from the cabinet stream of the patch itself.
    const auto files = patched_files(target);
    bool encoded =
        encode_row(lay::media_columns,
                   {RowChange::Kind::Insert,
                    {CellValue{std::int32_t{patch_disk_id}}, CellValue{files.back().second},
                     CellValue{}, CellValue{std::string(patch_cabinet_reference)}, CellValue{},
                     CellValue{std::string("PATCHMediaSrcProp")}}},
                   pool, media.rows);
    for (const auto& [key, sequence] : files) {
        encoded = encoded && encode_row(lay::file_columns,
                                        {RowChange::Kind::Update,
                                         {CellValue{std::string(key)}, std::nullopt, std::nullopt,
                                          std::nullopt, std::nullopt, std::nullopt,
                                          CellValue{lay::file_attributes | patch_added_attribute},
                                          CellValue{sequence}}},
                                        pool, file.rows);
    }
    if (!encoded)
        return std::nullopt;
    const std::string after = to_product_of(target) + target.to_version;
    return finish_transform("#" + target.storage_name, target, after + ";" + after, pool,
                            {media, file});
}

} // namespace

std::optional<TransformPair> build_transform_pair(const TransformTarget& target) {
    constexpr auto max_size = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    if (target.exe_size > max_size || target.data_size > max_size)
        return std::nullopt;
    if (target.storage_name.empty() || target.storage_name.size() + 1 > max_stream_name_units)
        return std::nullopt;
    auto upgrade = build_upgrade_transform(target);
    auto patch = build_patch_transform(target);
    if (!upgrade || !patch)
        return std::nullopt;
    return TransformPair{std::move(*upgrade), std::move(*patch)};
}

} // namespace corvath::patchkit
