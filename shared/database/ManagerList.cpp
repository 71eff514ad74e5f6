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
    // Room for size bytes, aligned for the record headers below.
    char* allocate(size_t size) {
        size = (size + alignof(quint32) - 1) & ~(alignof(quint32) - 1);
        if (m_free < size) {
            const size_t block = std::max(BlockSize, size);
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(block));
            m_next = m_blocks.back().get();
            m_free = block;
        }
        char* const at = m_next;
        m_next += size;
        m_free -= size;
        return at;
    }
    std::string_view add(std::string_view text) {
        if (text.empty())
            return {};
        char* const at = allocate(text.size());
        std::memcpy(at, text.data(), text.size());
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

// A value the list is ordered by, in 16 bytes: a number, or the bytes of a text or blob kept elsewhere.
class SortKey {
public:
    SortKey() = default;
    explicit SortKey(const SqlValue& value) : m_kind(value.kind) {
        if (value.kind == SqlValue::Kind::Integer)
            m_integer = value.integer;
        else if (value.kind == SqlValue::Kind::Real)
            m_real = value.real;
        else if (value.kind != SqlValue::Kind::Null) {
            m_bytes = value.bytes.data();
            m_size = quint32(value.bytes.size()); // SQLite keeps a value under 2 GiB
        }
    }
    SqlValue value() const {
        switch (m_kind) {
        case SqlValue::Kind::Integer:
            return {m_kind, m_integer, 0, {}};
        case SqlValue::Kind::Real:
            return {m_kind, 0, m_real, {}};
        case SqlValue::Kind::Text:
        case SqlValue::Kind::Blob:
            return {m_kind, 0, 0, {m_bytes, m_size}};
        case SqlValue::Kind::Null:
            break;
        }
        return {};
    }

private:
    union {
        const char* m_bytes = nullptr;
        qint64 m_integer;
        double m_real;
    };
    quint32 m_size = 0;
    SqlValue::Kind m_kind = SqlValue::Kind::Null;
};

// The fields a manual's row takes from M_manage, in the order of ManagerListField without the PDF flag.
constexpr std::array<ManagerListField, ManagerListFieldCount - 1> ManualFields = {
    ListPubNo, ListInsPath, ListModelDesc, ListYearOrClass, ListLanguage, ListAdjustFlag, ListVersion};

// One row of the list, before it is put in order: its manual's fields (a record in the arena: the
// sizes, then the bytes), its PDF flag and model order from the joined rows, and its sort keys. A long
// list is read into fresh memory: the smaller a row, the fewer pages the read touches.
struct ListEntry {
    const quint32* manual = nullptr;
    const std::string_view* pdfFlag = nullptr; // NULL (no M_type row): empty
    const SqlValue* order = nullptr;           // OrderNo; no M_order row: NULL
    SortKey year;
    SortKey kubun;
    SortKey pubNo;
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

    ManagerListSize size() const { return {m_entries.size(), m_textBytes}; }

    void visit(const std::function<void(const ManagerListRow&)>& visit) const {
        std::vector<quint32> order(m_entries.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = quint32(i);
        const bool japanese = m_japanese;
        const std::vector<ListEntry>& entries = m_entries;
        static const SqlValue Null;
        std::stable_sort(order.begin(), order.end(), [&entries, japanese](quint32 left, quint32 right) {
            const ListEntry& a = entries[left];
            const ListEntry& b = entries[right];
            if (const int r =
                    compareKeys(a.order ? *a.order : Null, b.order ? *b.order : Null, Collation::Binary);
                r != 0)
                return r < 0;
            if (const int r = compareKeys(a.year.value(), b.year.value(), Collation::NoCase); r != 0)
                return r < 0;
            if (japanese) {
                if (const int r = compareKeys(a.kubun.value(), b.kubun.value(), Collation::NoCase); r != 0)
                    return r < 0;
            }
            return compareKeys(a.pubNo.value(), b.pubNo.value(), Collation::NoCase) < 0;
        });
        ManagerListRow fields;
        for (const quint32 index : order) {
            const ListEntry& entry = m_entries[index];
            const char* bytes = reinterpret_cast<const char*>(entry.manual + ManualFields.size());
            for (size_t field = 0; field < ManualFields.size(); ++field) {
                fields[ManualFields[field]] = {bytes, entry.manual[field]};
                bytes += entry.manual[field];
            }
            fields[ListPdfFlag] = entry.pdfFlag ? *entry.pdfFlag : std::string_view();
            visit(fields);
        }
    }

private:
    // A value's text as the access class reads it: a text as stored, anything else converted.
    static std::string_view textOf(const QueryRow& row, int column, const SqlValue& value) {
        return value.kind == SqlValue::Kind::Text ? value.bytes : row.utf8(column);
    }

    // A key that is the text of a field already kept shares its bytes.
    SortKey keyOf(const SqlValue& value, std::string_view field) {
        if (value.kind == SqlValue::Kind::Text)
            return SortKey({value.kind, 0, 0, field});
        return SortKey(m_texts.keep(value));
    }

    // The manual's fields as one record in the arena; their views into it in fields.
    const quint32* keepManual(const QueryRow& row, const std::array<SqlValue, 9>& values,
                              std::array<std::string_view, ManualFields.size()>& fields) {
        constexpr std::array<int, ManualFields.size()> EnglishColumns = {0, 1, 2, 3, 5, 6, 7};
        constexpr std::array<int, ManualFields.size()> JapaneseColumns = {0, 1, 2, 4, 5, 6, 7};
        const std::array<int, ManualFields.size()>& columns = m_japanese ? JapaneseColumns : EnglishColumns;
        for (size_t field = 0; field < fields.size(); ++field)
            fields[field] = textOf(row, columns[field], values[size_t(columns[field])]);
        const size_t bytes = textBytes(fields);
        auto* const record =
            reinterpret_cast<quint32*>(m_texts.allocate(sizeof(quint32) * fields.size() + bytes));
        char* at = reinterpret_cast<char*>(record + fields.size());
        for (size_t field = 0; field < fields.size(); ++field) {
            record[field] = quint32(fields[field].size());
            std::memcpy(at, fields[field].data(), fields[field].size());
            fields[field] = {at, fields[field].size()};
            at += fields[field].size();
        }
        return record;
    }

    static size_t textBytes(const std::array<std::string_view, ManualFields.size()>& fields) {
        size_t bytes = 0;
        for (const std::string_view field : fields)
            bytes += field.size();
        return bytes;
    }

    void addManual(const QueryRow& row) {
        std::array<SqlValue, 9> values;
        for (size_t column = 0; column < values.size(); ++column)
            values[column] = row.stored(int(column));
        std::array<std::string_view, ManualFields.size()> fields;
        ListEntry entry;
        entry.manual = keepManual(row, values, fields);
        const size_t manualBytes = textBytes(fields);
        entry.pubNo = keyOf(values[0], fields[0]);
        if (m_japanese) {
            entry.year = SortKey(m_texts.keep(values[3]));
            entry.kubun = keyOf(values[4], fields[3]);
        } else {
            entry.year = keyOf(values[3], fields[3]);
        }
        // A left join of both tables: one entry for each pair of matching rows.
        m_types.join(values[0], [&](size_t type) {
            m_orders.join(values[8], [&](size_t order) {
                ListEntry& joined = m_entries.emplace_back(entry);
                m_textBytes += manualBytes;
                if (type != KeyIndex::NoRow) {
                    joined.pdfFlag = &m_pdfFlags[type];
                    m_textBytes += m_pdfFlags[type].size();
                }
                if (order != KeyIndex::NoRow)
                    joined.order = &m_orderNumbers[order];
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
    size_t m_textBytes = 0; // of every field of every entry
};

} // namespace

bool ReadManagerListRows(clsMDB& db, bool japanese, const std::function<void(const ManagerListRow&)>& visit) {
    return ReadManagerListRows(db, japanese, {}, visit);
}

bool ReadManagerListRows(clsMDB& db, bool japanese, const std::function<void(const ManagerListSize&)>& size,
                         const std::function<void(const ManagerListRow&)>& visit) {
    ListBuilder builder(japanese);
    if (!builder.read(db))
        return false;
    if (size)
        size(builder.size());
    builder.visit(visit);
    return true;
}

} // namespace marvek::shared
