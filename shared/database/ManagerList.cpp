#include "shared/database/ManagerList.h"

#include "shared/database/SqlValue.h"
#include "shared/database/clsMDB.h"

#include <QString>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace marvek::shared {

namespace {

// Every text the list keeps, back to back in one block. The block grows while the tables are read, so
// until then a text is held by its place in it.
class TextBlock {
public:
    struct Span {
        size_t offset = 0;
        size_t size = 0;
    };

    Span add(std::string_view text) {
        const Span span{m_bytes.size(), text.size()};
        m_bytes.append(text);
        return span;
    }
    std::string_view view(const Span& span) const {
        return std::string_view(m_bytes).substr(span.offset, span.size);
    }

private:
    std::string m_bytes;
};

// A value kept from a row: a number, or the bytes of a text or blob in the block.
struct KeptValue {
    SqlValue::Kind kind = SqlValue::Kind::Null;
    qint64 integer = 0;
    double real = 0;
    TextBlock::Span bytes;
};

// The rows of M_type or M_order by their key, found as the engine's = finds them (NOCASE): the keys'
// hashes sorted, the rows of an equal hash compared in full.
class KeyIndex {
public:
    static constexpr size_t NoRow = size_t(-1);

    void add(const KeptValue& key, size_t row) {
        if (key.kind != SqlValue::Kind::Null) // NULL equals nothing
            m_keys.push_back({0, row, key});
    }
    void finish(const TextBlock& block) {
        for (Key& key : m_keys)
            key.hash = HashSqlValue(view(block, key.value), Collation::NoCase);
        std::stable_sort(m_keys.begin(), m_keys.end(),
                         [](const Key& a, const Key& b) { return a.hash < b.hash; });
    }
    // Calls take with each row under the key, or once with NoRow when there is none (a left join).
    template <typename Take> void join(const TextBlock& block, const SqlValue& key, const Take& take) const {
        bool found = false;
        if (key.kind != SqlValue::Kind::Null) {
            const size_t hash = HashSqlValue(key, Collation::NoCase);
            auto at = std::lower_bound(m_keys.begin(), m_keys.end(), hash,
                                       [](const Key& k, size_t h) { return k.hash < h; });
            for (; at != m_keys.end() && at->hash == hash; ++at) {
                if (CompareSqlValues(view(block, at->value), key, Collation::NoCase) == 0) {
                    found = true;
                    take(at->row);
                }
            }
        }
        if (!found)
            take(NoRow);
    }

    static SqlValue view(const TextBlock& block, const KeptValue& value) {
        return {value.kind, value.integer, value.real, block.view(value.bytes)};
    }

private:
    struct Key {
        size_t hash = 0;
        size_t row = 0;
        KeptValue value;
    };
    std::vector<Key> m_keys;
};

// One row of the list, before it is put in order.
struct ListEntry {
    std::array<TextBlock::Span, ManagerListFieldCount> fields;
    KeptValue order; // OrderNo
    KeptValue year;
    KeptValue kubun;
    KeptValue pubNo;
};

class ListBuilder {
public:
    explicit ListBuilder(bool japanese) : m_japanese(japanese) {}

    // The small tables first: each manual is joined as it is read.
    bool read(clsMDB& db) {
        return db.ReadTogether([&] {
            const bool small =
                db.ReadRows(QStringLiteral("SELECT Pub_No, Pdf_flg FROM M_type"),
                            [this](const QueryRow& row) {
                                m_types.add(keep(row.stored(0)), m_pdfFlags.size());
                                m_pdfFlags.push_back(m_block.add(textOf(row, 1, row.stored(1))));
                            }) &&
                db.ReadRows(QStringLiteral("SELECT Model_ID, OrderNo FROM M_order"),
                            [this](const QueryRow& row) {
                                m_orders.add(keep(row.stored(0)), m_orderNumbers.size());
                                m_orderNumbers.push_back(keep(row.stored(1)));
                            });
            if (!small)
                return false;
            m_types.finish(m_block);
            m_orders.finish(m_block);
            return db.ReadRows(
                QStringLiteral("SELECT Pub_No, InsPath, Model_desc, Year, Kubun, Lang, Adjust_flg, "
                               "Version, Model_ID FROM M_manage"),
                [this](const QueryRow& row) { addManual(row); });
        });
    }

    void visit(const std::function<void(const ManagerListRow&)>& visit) const {
        // The block no longer grows: the keys are compared as views into it, and the entries are put in
        // order by their number.
        std::vector<std::array<SqlValue, 4>> keys; // OrderNo, Year, Kubun, Pub_No
        keys.reserve(m_entries.size());
        for (const ListEntry& entry : m_entries) {
            keys.push_back({KeyIndex::view(m_block, entry.order), KeyIndex::view(m_block, entry.year),
                            KeyIndex::view(m_block, entry.kubun), KeyIndex::view(m_block, entry.pubNo)});
        }
        std::vector<quint32> order(m_entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = quint32(i);
        const bool japanese = m_japanese;
        std::stable_sort(order.begin(), order.end(), [&keys, japanese](quint32 left, quint32 right) {
            const std::array<SqlValue, 4>& a = keys[left];
            const std::array<SqlValue, 4>& b = keys[right];
            if (const int r = CompareSqlValues(a[0], b[0], Collation::Binary); r != 0)
                return r < 0;
            if (const int r = CompareSqlValues(a[1], b[1], Collation::NoCase); r != 0)
                return r < 0;
            if (japanese) {
                if (const int r = CompareSqlValues(a[2], b[2], Collation::NoCase); r != 0)
                    return r < 0;
            }
            return CompareSqlValues(a[3], b[3], Collation::NoCase) < 0;
        });
        ManagerListRow row;
        for (const quint32 index : order) {
            for (size_t field = 0; field < row.size(); ++field)
                row[field] = m_block.view(m_entries[index].fields[field]);
            visit(row);
        }
    }

private:
    // A value's text as the access class reads it: a text as stored, anything else converted.
    static std::string_view textOf(const QueryRow& row, int column, const SqlValue& value) {
        return value.kind == SqlValue::Kind::Text ? value.bytes : row.utf8(column);
    }

    KeptValue keep(const SqlValue& value) {
        return {value.kind, value.integer, value.real, m_block.add(value.bytes)};
    }
    // A key that is the text of a field already kept shares its bytes.
    KeptValue keep(const SqlValue& value, const TextBlock::Span& field) {
        if (value.kind == SqlValue::Kind::Text)
            return {value.kind, 0, 0, field};
        return keep(value);
    }

    void addManual(const QueryRow& row) {
        std::array<SqlValue, 9> values;
        for (size_t column = 0; column < values.size(); ++column)
            values[column] = row.stored(int(column));
        ListEntry entry;
        const auto text = [&](int column) {
            return m_block.add(textOf(row, column, values[size_t(column)]));
        };
        entry.fields[ListPubNo] = text(0);
        entry.fields[ListInsPath] = text(1);
        entry.fields[ListModelDesc] = text(2);
        entry.fields[ListYearOrClass] = text(m_japanese ? 4 : 3);
        entry.fields[ListLanguage] = text(5);
        entry.fields[ListAdjustFlag] = text(6);
        entry.fields[ListVersion] = text(7);
        entry.pubNo = keep(values[0], entry.fields[ListPubNo]);
        entry.year = m_japanese ? keep(values[3]) : keep(values[3], entry.fields[ListYearOrClass]);
        entry.kubun = m_japanese ? keep(values[4], entry.fields[ListYearOrClass]) : KeptValue{};
        // A left join of both tables: one entry for each pair of matching rows.
        m_types.join(m_block, values[0], [&](size_t type) {
            m_orders.join(m_block, values[8], [&](size_t order) {
                ListEntry joined = entry;
                if (type != KeyIndex::NoRow)
                    joined.fields[ListPdfFlag] = m_pdfFlags[type];
                if (order != KeyIndex::NoRow)
                    joined.order = m_orderNumbers[order];
                m_entries.push_back(joined);
            });
        });
    }

    const bool m_japanese;
    TextBlock m_block;
    KeyIndex m_types;
    std::vector<TextBlock::Span> m_pdfFlags;
    KeyIndex m_orders;
    std::vector<KeptValue> m_orderNumbers;
    std::vector<ListEntry> m_entries;
};

} // namespace

bool ReadManagerListRows(clsMDB& db, bool japanese, const std::function<void(const ManagerListRow&)>& visit) {
    ListBuilder builder(japanese);
    if (!builder.read(db))
        return false;
    builder.visit(visit);
    return true;
}

} // namespace marvek::shared
