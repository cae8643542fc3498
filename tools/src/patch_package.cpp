#include "patch_package.h"

#include "cabinet.h"
#include "compound_file.h"
#include "database_tables.h"
#include "product_layout.h"
#include "property_set.h"
#include "stream_name.h"
#include "transform.h"

#include <cstdio>
#include <filesystem>

namespace corvath::patchkit {
namespace {

constexpr std::uint32_t pid_title = 2;
constexpr std::uint32_t pid_subject = 3;
constexpr std::uint32_t pid_author = 4;
constexpr std::uint32_t pid_keywords = 5;
constexpr std::uint32_t pid_comments = 6;
constexpr std::uint32_t pid_targets = 7;
constexpr std::uint32_t pid_transforms = 8;
constexpr std::uint32_t pid_patch_code = 9;
constexpr std::uint32_t pid_word_count = 15;
constexpr std::uint32_t pid_application = 18;

// The two tables, with the columns Windows Installer defines for them.
std::vector<DatabaseTable> metadata_tables(const PatchMetadata& metadata) {
    const ColumnKind identifier{ColumnType::String, 72, false, false};
    const ColumnKind optional_identifier{ColumnType::String, 72, true, false};
    DatabaseTable table{
        "MsiPatchMetadata",
        {{{"Company", ColumnType::String, true}, optional_identifier},
         {{"Property", ColumnType::String, true}, identifier},
         {{"Value", ColumnType::String, false}, {ColumnType::String, 0, false, true}}},
        {}};
    std::vector<std::pair<const char*, std::string>> rows = {
        {"AllowRemoval", metadata.allow_removal ? "1" : "0"},
        {"Classification", metadata.classification},
        {"Description", metadata.description},
        {"DisplayName", metadata.display_name},
        {"ManufacturerName", metadata.manufacturer},
        {"TargetProductName", metadata.target_product},
    };
    if (metadata.minor_update_target_rtm)
        rows.push_back({"MinorUpdateTargetRTM", "1"});
    for (const auto& [property, value] : rows)
        table.rows.push_back({std::monostate{}, std::string(property), value});

    DatabaseTable sequence{
        "MsiPatchSequence",
        {{{"PatchFamily", ColumnType::String, true}, identifier},
         {{"ProductCode", ColumnType::String, true}, {ColumnType::String, 38, true, false}},
         {{"Sequence", ColumnType::String, false}, identifier},
         {{"Attributes", ColumnType::Int16, false}, {ColumnType::Int16, 2, true, false}}},
        {{metadata.family, std::monostate{}, metadata.sequence,
          metadata.sequence_attributes ? CellValue{std::int32_t{*metadata.sequence_attributes}}
                                       : CellValue{std::monostate{}}}}};
    return {std::move(table), std::move(sequence)};
}

std::string storage_name_for(const std::string& prefix, std::size_t index) {
    char number[24]; // room for any index; build_transform_pair checks the name's real limit
    std::snprintf(number, sizeof number, "_%02zu", index + 1);
    return prefix + number;
}

} // namespace

std::string join_list(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0)
            out += ';';
        out += items[i];
    }
    return out;
}

namespace {

// Everything of the package but its cabinet.
std::optional<StorageNode> patch_root(const PatchDefinition& definition, std::uint64_t data_size,
                                      std::string& error) {
    StorageNode root;
    root.class_id = definition.root_class;

    std::vector<PairDefinition> pairs;
    for (const std::string& product : definition.transform_products)
        pairs.push_back({product, definition.from_version, definition.to_version});
    pairs.insert(pairs.end(), definition.pairs.begin(), definition.pairs.end());

    std::vector<std::string> transform_list;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const PairDefinition& pair_definition = pairs[i];
        const TransformTarget target{
            pair_definition.product_code,
            pair_definition.storage_name.empty() ? storage_name_for(definition.transform_prefix, i)
                                                 : pair_definition.storage_name,
            static_cast<std::uint32_t>(definition.exe ? definition.exe->size() : 0),
            static_cast<std::uint32_t>(data_size),
            pair_definition.from_version,
            pair_definition.to_version,
            definition.exe != nullptr,
            pair_definition.to_product_code,
            pair_definition.validation};
        auto pair = build_transform_pair(target);
        if (!pair) {
            error = "cannot build the transforms for " + target.product_code;
            return std::nullopt;
        }
        transform_list.push_back(":" + target.storage_name);
        transform_list.push_back(":#" + target.storage_name);
        root.storages.push_back(std::move(pair->upgrade));
        root.storages.push_back(std::move(pair->patch));
    }

    std::vector<SummaryProperty> summary = {
        {pid_title, std::string("Patch")},
        {pid_subject, definition.title},
        {pid_author, std::string("Lunmere")},
        {pid_keywords, std::string("Installer,Patch,PCP")},
        {pid_comments,
         definition.from_version == definition.to_version
             ? "Replaces a file of Corvath " + definition.from_version + "."
             : "Brings Corvath " + definition.from_version + " to " + definition.to_version + "."},
    };
    if (definition.target_list)
        summary.push_back({pid_targets, *definition.target_list});
    summary.push_back({pid_transforms, join_list(transform_list)});
    summary.push_back({pid_patch_code, definition.patch_code});
    summary.push_back({pid_word_count, std::int32_t{3}}); // patch packages: 3
    summary.push_back({pid_application, std::string("corvath-patch-builder")});
    auto summary_bytes = write_summary_information(summary);
    if (!summary_bytes) {
        error = "a summary text is not 7-bit ASCII";
        return std::nullopt;
    }
    root.streams.push_back({u"\005SummaryInformation", std::move(*summary_bytes)});

    // The installer opens a patch as a database, which needs a string pool, even an empty one.
    root.streams.push_back({encode_stream_name("_StringPool", StreamKind::Table), Bytes(4, 0)});
    root.streams.push_back({encode_stream_name("_StringData", StreamKind::Table), Bytes{}});

    if (definition.metadata &&
        !add_database_tables(root, metadata_tables(*definition.metadata), error))
        return std::nullopt;

    return root;
}

std::vector<CabinetEntry> cabinet_entries(const PatchDefinition& definition) {
    std::vector<CabinetEntry> entries;
    if (definition.exe)
        entries.push_back({std::string(layout::exe_file_key), definition.exe});
    entries.push_back({std::string(layout::data_file_key), definition.data, definition.data_path});
    return entries;
}

StreamNode cabinet_stream() {
    return {encode_stream_name(patch_cabinet_stream, StreamKind::Stream), {}};
}

} // namespace

std::optional<Bytes> build_patch_package(const PatchDefinition& definition, std::string& error) {
    if (!definition.data) {
        error = "patch definition without payload";
        return std::nullopt;
    }
    auto root = patch_root(definition, definition.data->size(), error);
    if (!root)
        return std::nullopt;
    auto cabinet = build_cabinet(cabinet_entries(definition), error);
    if (!cabinet)
        return std::nullopt;
    root->streams.push_back(cabinet_stream());
    root->streams.back().data = std::move(*cabinet);
    return write_compound_file(*root, error);
}

std::optional<std::uint64_t> build_patch_package_to(const PatchDefinition& definition,
                                                    const std::string& path, std::string& error) {
    std::error_code failed;
    const std::uint64_t data_size = definition.data_path.empty()
                                        ? (definition.data ? definition.data->size() : 0)
                                        : std::filesystem::file_size(definition.data_path, failed);
    if (failed || (!definition.data && definition.data_path.empty())) {
        error = "patch definition without payload";
        return std::nullopt;
    }
    auto root = patch_root(definition, data_size, error);
    if (!root)
        return std::nullopt;
    const std::string cabinet = path + ".cab.part";
    if (!build_cabinet_to(cabinet_entries(definition), cabinet, error)) {
        std::filesystem::remove(cabinet, failed);
        return std::nullopt;
    }
    root->streams.push_back(cabinet_stream());
    root->streams.back().source_path = cabinet;
    auto size = write_compound_file_to(*root, path, error);
    std::filesystem::remove(cabinet, failed);
    return size;
}

} // namespace corvath::patchkit
