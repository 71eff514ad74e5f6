#include "shared/database/ManagerList.h"

#include "shared/database/SqlValue.h"
#include "shared/database/clsMDB.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace marvek::shared {

namespace {

// Every text the list keeps, in blocks that never move: a kept text is a view that stays valid while the
// arena lives, however many texts come after it.
class TextArena {
public:
    std::string_view add(std::string_view text) {
        if (text.empty())
            return {};
        if (m_free < text.size()) {
            const size_t size = std::max(BlockSize, text.size());
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size));
            m_next = m_blocks.back().get();
            m_free = size;
        }
        char* const at = m_next;
        std::memcpy(at, text.data(), text.size());
        m_next += text.size();
        m_free -= text.size();
        return {at, text.size()};
    }
    SqlValue keep(const SqlValue& value) { return {value.kind, value.integer, value.real, add(value.bytes)}; }

private:
    static constexpr size_t BlockSize = size_t(256) * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    size_t m_free = 0;
};

// The rows of M_type or M_order by their key, found as the engine's = finds them (NOCASE): an open hash
// table of the keys, the rows of an equal hash compared in full.
class KeyIndex {
public:
    static constexpr size_t NoRow = size_t(-1);

    void add(const SqlValue& key, size_t row) {
        if (key.kind != SqlValue::Kind::Null) // NULL equals nothing
            m_keys.push_back({HashSqlValue(key, Collation::NoCase), row, key});
    }
    // Builds the table, with at least twice as many slots as keys; each key goes to the first free slot
    // from its hash on, so equal keys sit in the order they were added.
    void finish() {
        size_t slots = 16;
        while (slots < 2 * m_keys.size())
            slots *= 2;
        m_slots.assign(slots, Empty);
        m_mask = slots - 1;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            size_t at = m_keys[i].hash & m_mask;
            while (m_slots[at] != Empty)
                at = (at + 1) & m_mask;
            m_slots[at] = quint32(i);
        }
    }
    // Calls take with each row under the key, or once with NoRow when there is none (a left join).
    template <typename Take> void join(const SqlValue& key, const Take& take) const {
        bool found = false;
        if (key.kind != SqlValue::Kind::Null && !m_slots.empty()) {
            const size_t hash = HashSqlValue(key, Collation::NoCase);
            for (size_t at = hash & m_mask; m_slots[at] != Empty; at = (at + 1) & m_mask) {
                const Key& candidate = m_keys[m_slots[at]];
                if (candidate.hash == hash &&
                    CompareSqlValues(candidate.value, key, Collation::NoCase) == 0) {
                    found = true;
                    take(candidate.row);
                }
            }
        }
        if (!found)
            take(NoRow);
    }

private:
    static constexpr quint32 Empty = quint32(-1);
    struct Key {
        size_t hash = 0;
        size_t row = 0;
        SqlValue value;
    };
    std::vector<Key> m_keys;
    std::vector<quint32> m_slots;
    size_t m_mask = 0;
};

// CompareSqlValues, with the two cases of a long list's sort answered here: whole numbers (the model
// order), and texts with the same bytes (its years and classes repeat row after row).
int compareKeys(const SqlValue& a, const SqlValue& b, Collation collation) {
    if (a.kind == SqlValue::Kind::Integer && b.kind == SqlValue::Kind::Integer)
        return (a.integer > b.integer) - (a.integer < b.integer);
    if (a.kind == SqlValue::Kind::Text && b.kind == SqlValue::Kind::Text && a.bytes == b.bytes)
        return 0;
    return CompareSqlValues(a, b, collation);
}

// One row of the list, before it is put in order: its fields and the values it is ordered by.
struct ListEntry {
    ManagerListRow fields;
    SqlValue order; // OrderNo
    SqlValue year;
    SqlValue kubun;
    SqlValue pubNo;
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
                                m_types.add(m_texts.keep(row.stored(0)), m_pdfFlags.size());
                                m_pdfFlags.push_back(m_texts.add(textOf(row, 1, row.stored(1))));
                            }) &&
                db.ReadRows(QStringLiteral("SELECT Model_ID, OrderNo FROM M_order"),
                            [this](const QueryRow& row) {
                                m_orders.add(m_texts.keep(row.stored(0)), m_orderNumbers.size());
                                m_orderNumbers.push_back(m_texts.keep(row.stored(1)));
                            });
            if (!small)
                return false;
            m_types.finish();
            m_orders.finish();
            // Most manuals have their M_type row.
            m_entries.reserve(m_pdfFlags.size());
            return db.ReadRows(
                QStringLiteral("SELECT Pub_No, InsPath, Model_desc, Year, Kubun, Lang, Adjust_flg, "
                               "Version, Model_ID FROM M_manage"),
                [this](const QueryRow& row) { addManual(row); });
        });
    }

    void visit(const std::function<void(const ManagerListRow&)>& visit) const {
        std::vector<quint32> order(m_entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = quint32(i);
        const bool japanese = m_japanese;
        const std::vector<ListEntry>& entries = m_entries;
        std::stable_sort(order.begin(), order.end(), [&entries, japanese](quint32 left, quint32 right) {
            const ListEntry& a = entries[left];
            const ListEntry& b = entries[right];
            if (const int r = compareKeys(a.order, b.order, Collation::Binary); r != 0)
                return r < 0;
            if (const int r = compareKeys(a.year, b.year, Collation::NoCase); r != 0)
                return r < 0;
            if (japanese) {
                if (const int r = compareKeys(a.kubun, b.kubun, Collation::NoCase); r != 0)
                    return r < 0;
            }
            return compareKeys(a.pubNo, b.pubNo, Collation::NoCase) < 0;
        });
        for (const quint32 index : order)
            visit(m_entries[index].fields);
    }

private:
    // A value's text as the access class reads it: a text as stored, anything else converted.
    static std::string_view textOf(const QueryRow& row, int column, const SqlValue& value) {
        return value.kind == SqlValue::Kind::Text ? value.bytes : row.utf8(column);
    }

    // A key that is the text of a field already kept shares its bytes.
    SqlValue keyOf(const SqlValue& value, std::string_view field) {
        if (value.kind == SqlValue::Kind::Text)
            return {value.kind, 0, 0, field};
        return m_texts.keep(value);
    }

    void addManual(const QueryRow& row) {
        std::array<SqlValue, 9> values;
        for (size_t column = 0; column < values.size(); ++column)
            values[column] = row.stored(int(column));
        ListEntry entry;
        const auto text = [&](int column) {
            return m_texts.add(textOf(row, column, values[size_t(column)]));
        };
        entry.fields[ListPubNo] = text(0);
        entry.fields[ListInsPath] = text(1);
        entry.fields[ListModelDesc] = text(2);
        entry.fields[ListYearOrClass] = text(m_japanese ? 4 : 3);
        entry.fields[ListLanguage] = text(5);
        entry.fields[ListAdjustFlag] = text(6);
        entry.fields[ListVersion] = text(7);
        entry.pubNo = keyOf(values[0], entry.fields[ListPubNo]);
        if (m_japanese) {
            entry.year = m_texts.keep(values[3]);
            entry.kubun = keyOf(values[4], entry.fields[ListYearOrClass]);
        } else {
            entry.year = keyOf(values[3], entry.fields[ListYearOrClass]);
        }
        // A left join of both tables: one entry for each pair of matching rows.
        m_types.join(values[0], [&](size_t type) {
            m_orders.join(values[8], [&](size_t order) {
                ListEntry& joined = m_entries.emplace_back(entry);
                if (type != KeyIndex::NoRow)
                    joined.fields[ListPdfFlag] = m_pdfFlags[type];
                if (order != KeyIndex::NoRow)
                    joined.order = m_orderNumbers[order];
            });
        });
    }

    const bool m_japanese;
    TextArena m_texts;
    KeyIndex m_types;
    std::vector<std::string_view> m_pdfFlags;
    KeyIndex m_orders;
    std::vector<SqlValue> m_orderNumbers;
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
