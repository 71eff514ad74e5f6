#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marvek::manager {

inline constexpr int ManagerColumns = 8;

// One row of the manual list: the eight column values (PubNo, InsPath, model, year or class, language,
// publication number, version, PDF flag) and the row's colour flag (Adjust_flg: "0" light blue, any other
// value white).
struct ManagerRow {
    std::array<QString, ManagerColumns> columns;
    QString colourFlag;
};

// The manual list as the list query gives it, row after row. The texts stay in the database's UTF-8, back
// to back in one block, and become QStrings when they are asked for: a list of thousands of manuals is
// read without a string or an allocation per cell, and only the rows shown are converted. A text equal
// to the one above it in its field is kept once.
class ManagerRows {
public:
    // A row's fields: the eight columns, then the colour flag.
    static constexpr int FieldCount = ManagerColumns + 1;
    static constexpr int ColourFlagField = ManagerColumns;
    using Fields = std::array<std::string_view, FieldCount>;

    size_t size() const { return m_spans.size() / FieldCount; }
    bool empty() const { return m_spans.empty(); }

    // Room for rows rows of about bytes bytes in all (a hint).
    void reserve(size_t rows, size_t bytes);
    // Adds a row; false (and nothing added) when the block would outgrow its 4 GiB of offsets.
    bool append(const Fields& fields);
    // A field (0..FieldCount - 1) of a row (0..size() - 1).
    QString text(size_t row, int field) const;
    ManagerRow row(size_t row) const;
    // Replaces a field of a row.
    void setText(size_t row, int field, const QString& text);

private:
    struct Span {
        quint32 offset = 0;
        quint32 size = 0;
    };

    std::string_view bytes(const Span& span) const;
    std::optional<Span> store(std::string_view text);

    std::string m_bytes;
    std::vector<Span> m_spans; // FieldCount a row
};

} // namespace marvek::manager
