// Tables of a patch's own database (the root storage), stored as Windows Installer stores a
// database's tables, not as a transform changes them: each table one stream holding its rows
// column after column, the tables named in _Tables and their columns described in _Columns, every
// string in the root's string pool.
#pragma once

#include "storage_tree.h"
#include "table_stream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvath::patchkit {

// How _Columns records a column's type: string columns their width (0: unlimited), numbers
// their size in bytes; nullable columns are written in upper case ("S72", "I2").
struct ColumnKind {
    ColumnType type = ColumnType::String;
    std::uint16_t width = 0;
    bool nullable = false;
    bool localizable = false; // "l0": a text a translation may change
};

struct DatabaseColumn {
    Column column;
    ColumnKind kind;
};

struct DatabaseTable {
    std::string name;
    std::vector<DatabaseColumn> columns;
    std::vector<std::vector<CellValue>> rows; // one value per column
};

// The type number _Columns holds for a column.
std::uint16_t column_type_code(const ColumnKind& kind, bool key);

// Adds the streams of `tables`, of _Tables and _Columns, and the string pool they share to
// `root`, in place of any string pool it held. False, with `error`, when a row does not fit.
bool add_database_tables(StorageNode& root, const std::vector<DatabaseTable>& tables,
                         std::string& error);

} // namespace corvath::patchkit
