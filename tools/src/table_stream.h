// Rows of one table as a transform stores them: a 16-bit column mask, then the values of the
// key columns and of the columns the mask names, little-endian.
#pragma once

#include "byte_writer.h"
#include "string_pool.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvath::patchkit {

enum class ColumnType { String, Int16, Int32 };

struct Column {
    std::string name;
    ColumnType type = ColumnType::String;
    bool key = false;
};

// A column value; an empty string or std::monostate is NULL.
using CellValue = std::variant<std::monostate, std::string, std::int32_t>;

struct RowChange {
    enum class Kind { Update, Insert } kind = Kind::Update;
    // One value per column of the table. For an update, non-key columns that hold
    // std::nullopt are left as they are; the others are written.
    std::vector<std::optional<CellValue>> cells;
};

// Appends one value as a table stores it: a string as its pool id (0 for NULL), a 16-bit number
// biased by 0x8000 and a 32-bit one with its top bit flipped, so that 0 means NULL. False when
// the value does not fit the column or the string pool is full.
bool encode_cell(const Column& column, const CellValue& value, StringPool& pool, Bytes& out);

// Appends the encoded row to `out`. Fails (false) when the cells do not match the columns,
// a value does not fit its column, or the string pool is full.
bool encode_row(const std::vector<Column>& columns, const RowChange& row, StringPool& pool,
                Bytes& out);

} // namespace corvath::patchkit
