#include "database_tables.h"

#include "stream_name.h"

#include <algorithm>

namespace corvath::patchkit {
namespace {

// The bits of a _Columns type number (Windows Installer's MSITYPE_* values).
constexpr std::uint16_t type_valid = 0x0100;
constexpr std::uint16_t type_localizable = 0x0200;
constexpr std::uint16_t type_string = 0x0800 | 0x0400;
constexpr std::uint16_t type_int16 = 0x0400 | 2;
constexpr std::uint16_t type_int32 = 4;
constexpr std::uint16_t type_nullable = 0x1000;
constexpr std::uint16_t type_key = 0x2000;

const std::vector<Column> tables_columns = {{"Name", ColumnType::String, true}};
const std::vector<Column> columns_columns = {
    {"Table", ColumnType::String, true},
    {"Number", ColumnType::Int16, true},
    {"Name", ColumnType::String, false},
    {"Type", ColumnType::Int16, false},
};

// A table's stream: all values of the first column, then all of the second, and so on.
bool encode_columns(const std::vector<Column>& columns,
                    const std::vector<std::vector<CellValue>>& rows, StringPool& pool, Bytes& out,
                    std::string& error, const std::string& table) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        for (const auto& row : rows) {
            if (row.size() != columns.size() || !encode_cell(columns[c], row[c], pool, out)) {
                error = "a row of " + table + " does not fit its columns";
                return false;
            }
        }
    }
    return true;
}

} // namespace

std::uint16_t column_type_code(const ColumnKind& kind, bool key) {
    std::uint16_t code = type_valid;
    switch (kind.type) {
    case ColumnType::String:
        code |= type_string | kind.width | (kind.localizable ? type_localizable : 0);
        break;
    case ColumnType::Int16:
        code |= type_int16;
        break;
    case ColumnType::Int32:
        code |= type_int32;
        break;
    }
    return static_cast<std::uint16_t>(code | (kind.nullable ? type_nullable : 0) |
                                      (key ? type_key : 0));
}

bool add_database_tables(StorageNode& root, const std::vector<DatabaseTable>& tables,
                         std::string& error) {
    StringPool pool;
    std::vector<std::vector<CellValue>> table_rows;
    std::vector<std::vector<CellValue>> column_rows;
    std::vector<StreamNode> streams;
    for (const DatabaseTable& table : tables) {
        table_rows.push_back({table.name});
        std::vector<Column> columns;
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const DatabaseColumn& column = table.columns[i];
            columns.push_back(column.column);
            column_rows.push_back(
                {table.name, static_cast<std::int32_t>(i + 1), column.column.name,
                 static_cast<std::int32_t>(column_type_code(column.kind, column.column.key))});
        }
        Bytes data;
        if (!encode_columns(columns, table.rows, pool, data, error, table.name))
            return false;
        streams.push_back({encode_stream_name(table.name, StreamKind::Table), std::move(data)});
    }
    Bytes tables_data;
    Bytes columns_data;
    if (!encode_columns(tables_columns, table_rows, pool, tables_data, error, "_Tables") ||
        !encode_columns(columns_columns, column_rows, pool, columns_data, error, "_Columns"))
        return false;
    streams.push_back({encode_stream_name("_Tables", StreamKind::Table), std::move(tables_data)});
    streams.push_back({encode_stream_name("_Columns", StreamKind::Table), std::move(columns_data)});

    const std::u16string pool_name = encode_stream_name("_StringPool", StreamKind::Table);
    const std::u16string data_name = encode_stream_name("_StringData", StreamKind::Table);
    std::erase_if(root.streams, [&](const StreamNode& stream) {
        return stream.name == pool_name || stream.name == data_name;
    });
    root.streams.push_back({pool_name, pool.pool_stream()});
    root.streams.push_back({data_name, pool.data_stream()});
    root.streams.insert(root.streams.end(), std::make_move_iterator(streams.begin()),
                        std::make_move_iterator(streams.end()));
    return true;
}

} // namespace corvath::patchkit
