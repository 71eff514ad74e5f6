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
// to the one appended before it in its field is kept once.
class ManagerRows {
public:
    // A row's fields: the eight columns, then the colour flag.
    static constexpr int FieldCount = ManagerColumns + 1;
    static constexpr int ColourFlagField = ManagerColumns;
    using Fields = std::array<std::string_view, FieldCount>;

    size_t size() const { return m_spans.size() / FieldCount; }
    bool empty() const { return m_spans.empty(); }

    // Room for about rows rows (a hint).
    void reserve(size_t rows);
    // Adds a row at the end; false (and nothing added) when the block would outgrow its 4 GiB of offsets.
    bool append(const Fields& fields);
    // Puts the rows appended in another order: order[i] is the row that becomes row i. order must hold
    // each of 0..size() - 1 once; otherwise the order stays and it is false.
    bool setOrder(std::vector<quint32> order);
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
    // Where a row's fields are among the spans.
    size_t spansOf(size_t row) const { return (m_order.empty() ? row : m_order[row]) * FieldCount; }
    std::optional<Span> store(std::string_view text);

    std::string m_bytes;
    std::vector<Span> m_spans;    // FieldCount a row, in the order the rows were appended
    std::vector<quint32> m_order; // empty: the order they were appended
};

} // namespace marvek::manager
