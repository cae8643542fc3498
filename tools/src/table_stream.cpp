#include "table_stream.h"

#include <limits>

namespace corvath::patchkit {

bool encode_cell(const Column& column, const CellValue& value, StringPool& pool, Bytes& out) {
    switch (column.type) {
    case ColumnType::String: {
        if (std::holds_alternative<std::int32_t>(value))
            return false;
        const auto* text = std::get_if<std::string>(&value);
        if (!text || text->empty()) {
            put_u16(out, 0);
            return true;
        }
        const auto id = pool.reference(*text);
        if (!id)
            return false;
        put_u16(out, *id);
        return true;
    }
    case ColumnType::Int16: {
        if (std::holds_alternative<std::string>(value))
            return false;
        const auto* number = std::get_if<std::int32_t>(&value);
        if (!number) {
            put_u16(out, 0);
            return true;
        }
        // Stored with a bias of 0x8000 so that 0 can mean NULL.
        if (*number <= std::numeric_limits<std::int16_t>::min() ||
            *number > std::numeric_limits<std::int16_t>::max())
            return false;
        put_u16(out, static_cast<std::uint16_t>(*number + 0x8000));
        return true;
    }
    case ColumnType::Int32: {
        if (std::holds_alternative<std::string>(value))
            return false;
        const auto* number = std::get_if<std::int32_t>(&value);
        if (!number) {
            put_u32(out, 0);
            return true;
        }
        if (*number == std::numeric_limits<std::int32_t>::min())
            return false; // would encode as 0, i.e. NULL
        put_u32(out, static_cast<std::uint32_t>(*number) ^ 0x80000000u);
        return true;
    }
    }
    return false;
}

bool encode_row(const std::vector<Column>& columns, const RowChange& row, StringPool& pool,
                Bytes& out) {
    if (row.cells.size() != columns.size() || columns.empty() || columns.size() > 16)
        return false;

    std::uint16_t mask = 0;
    if (row.kind == RowChange::Kind::Insert) {
        mask = static_cast<std::uint16_t>((columns.size() << 8) | 1);
    } else {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (!columns[i].key && row.cells[i])
                mask = static_cast<std::uint16_t>(mask | (1u << i));
        if (mask == 0)
            return false; // an update that changes nothing would read as a delete
    }

    Bytes encoded;
    put_u16(encoded, mask);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const bool written = row.kind == RowChange::Kind::Insert || columns[i].key || row.cells[i];
        if (!written)
            continue;
        if (columns[i].key &&
            (!row.cells[i] || std::holds_alternative<std::monostate>(*row.cells[i])))
            return false;
        if (!encode_cell(columns[i], row.cells[i] ? *row.cells[i] : CellValue{}, pool, encoded))
            return false;
    }
    out.insert(out.end(), encoded.begin(), encoded.end());
    return true;
}

} // namespace corvath::patchkit
