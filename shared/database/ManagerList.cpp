#include "shared/database/ManagerList.h"

#include "shared/database/SqlValue.h"
#include "shared/database/clsMDB.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
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

// A value the list is ordered or joined by, in 16 bytes: a number, or the bytes of a text or blob kept
// elsewhere.
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

// The rows of M_type or M_order by their key, found as the engine's = finds them (NOCASE): an open hash
// table of the keys, the rows of an equal hash compared in full. The tables are mostly written in the
// order of M_manage, so when no key is taken twice the row after the last one found is tried first:
// the scan then walks the keys in order instead of all over the table.
class KeyIndex {
public:
    static constexpr quint32 NoRow = quint32(-1);

    void reserve(size_t keys) { m_keys.reserve(keys); }
    // key's bytes must outlive the index.
    void add(const SqlValue& key, quint32 row) {
        if (key.kind != SqlValue::Kind::Null) // NULL equals nothing
            m_keys.push_back({HashSqlValue(key, Collation::NoCase), SortKey(key), row});
    }
    // Builds the table, with at least twice as many slots as keys; each key goes to the first free slot
    // from its hash on, so equal keys sit in the order they were added.
    void finish() {
        size_t slots = 16;
        int bits = 4;
        while (slots < 2 * m_keys.size()) {
            slots *= 2;
            ++bits;
        }
        m_slots.assign(slots, Empty);
        m_mask = slots - 1;
        m_shift = 64 - bits;
        m_unique = true;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            size_t at = slotOf(m_keys[i].hash);
            for (; m_slots[at] != Empty; at = (at + 1) & m_mask) {
                if (m_unique && sameKey(m_keys[m_slots[at]], m_keys[i].hash, m_keys[i].value.value()))
                    m_unique = false;
            }
            m_slots[at] = quint32(i);
        }
    }
    // Calls take with each row under the key, or once with NoRow when there is none (a left join).
    template <typename Take> void join(const SqlValue& key, const Take& take) {
        if (key.kind == SqlValue::Kind::Null || m_keys.empty()) {
            take(NoRow);
            return;
        }
        if (m_unique && m_next < m_keys.size() &&
            CompareSqlValues(m_keys[m_next].value.value(), key, Collation::NoCase) == 0) {
            take(m_keys[m_next++].row);
            return;
        }
        const size_t hash = HashSqlValue(key, Collation::NoCase);
        bool found = false;
        for (size_t at = slotOf(hash); m_slots[at] != Empty; at = (at + 1) & m_mask) {
            const quint32 index = m_slots[at];
            if (sameKey(m_keys[index], hash, key)) {
                found = true;
                m_next = index + size_t(1);
                take(m_keys[index].row);
            }
        }
        if (!found)
            take(NoRow);
    }

private:
    static constexpr quint32 Empty = quint32(-1);
    struct Key {
        size_t hash = 0;
        SortKey value;
        quint32 row = 0;
    };
    static bool sameKey(const Key& candidate, size_t hash, const SqlValue& key) {
        return candidate.hash == hash &&
               CompareSqlValues(candidate.value.value(), key, Collation::NoCase) == 0;
    }
    // The slot a hash starts from: its bits mixed into the top ones (the hashes of texts that differ in
    // a few middle characters differ little in their low bits, and a table indexed by those clusters).
    size_t slotOf(size_t hash) const { return size_t((quint64(hash) * 0x9E3779B97F4A7C15ULL) >> m_shift); }

    std::vector<Key> m_keys;
    std::vector<quint32> m_slots;
    size_t m_mask = 0;
    int m_shift = 60;
    bool m_unique = true;
    size_t m_next = 0; // the key after the last one found
};

// How many rows to make room for ahead: the count, but at most a million; a longer table grows as it is
// read, and a count alone never reserves gigabytes.
size_t RoomFor(qint64 count) {
    constexpr qint64 Most = qint64(1) << 20;
    return size_t(std::clamp<qint64>(count, 0, Most));
}

// A value's text as the access class reads it: a text as stored, anything else converted.
std::string_view textOf(const QueryRow& row, int column, const SqlValue& value) {
    return value.kind == SqlValue::Kind::Text ? value.bytes : row.utf8(column);
}

// Whether no two M_type rows have equal keys as the join compares them: the table has a unique index, not
// a partial one, on Pub_No alone with NOCASE (the suite's own schema gives it one). Each manual then has
// at most one M_type row.
bool TypeKeyIsUnique(clsMDB& db) {
    QStringList unique;
    const bool listed =
        db.ReadRows(QStringLiteral("PRAGMA index_list('M_type')"), [&unique](const QueryRow& row) {
            if (row.stored(row.column(QStringLiteral("unique"))).integer == 1 &&
                row.stored(row.column(QStringLiteral("partial"))).integer == 0)
                unique.append(row.text(row.column(QStringLiteral("name"))));
        });
    if (!listed)
        return false;
    for (QString name : unique) {
        int keys = 0;
        bool onKey = false;
        name.replace(QLatin1Char('\''), QStringLiteral("''"));
        const bool read = db.ReadRows(
            QStringLiteral("PRAGMA index_xinfo('%1')").arg(name), [&keys, &onKey](const QueryRow& row) {
                if (row.stored(row.column(QStringLiteral("key"))).integer != 1)
                    return;
                ++keys;
                onKey = row.text(row.column(QStringLiteral("name")))
                                .compare(QLatin1String("Pub_No"), Qt::CaseInsensitive) == 0 &&
                        row.text(row.column(QStringLiteral("coll")))
                                .compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) == 0;
            });
        if (read && keys == 1 && onKey)
            return true;
    }
    return false;
}

// The reads of M_type, by the walk and into the hash table.
constexpr auto TypeRows = "SELECT Pub_No, Pdf_flg FROM M_type";

// M_type joined to the manuals. The installer writes a manual's M_manage and M_type rows together, so
// when M_type's key is unique its rows are walked in step with the manuals: a manual takes the row the
// walk is on when the keys are equal. The first manual that does not (a manual without an M_type row,
// tables written in another order, a key taken twice in M_manage) turns the join to an index of the whole
// table, which answers that manual and every later one.
class TypeJoin {
public:
    // False when a read fails.
    bool begin(clsMDB& db) {
        m_db = &db;
        if (!TypeKeyIsUnique(db))
            return readIndex();
        m_walk = db.OpenCursor(QLatin1String(TypeRows));
        if (!m_walk)
            return false;
        m_onRow = m_walk->next();
        return !m_walk->failed();
    }
    // Calls take with the PDF flag of each M_type row under the key, or once with nullopt when there is
    // none (a left join). False when a read fails.
    template <typename Take> bool join(const SqlValue& key, const Take& take) {
        if (m_walk) {
            if (key.kind == SqlValue::Kind::Null) { // NULL equals nothing
                take(std::nullopt);
                return true;
            }
            if (m_onRow) {
                const QueryRow& row = m_walk->row();
                if (CompareSqlValues(row.stored(0), key, Collation::NoCase) == 0) {
                    take(std::optional<std::string_view>(textOf(row, 1, row.stored(1))));
                    m_onRow = m_walk->next();
                    return !m_walk->failed();
                }
            }
            m_walk.reset();
            if (!readIndex())
                return false;
        }
        m_index.join(key, [&](quint32 type) {
            take(type != KeyIndex::NoRow ? std::optional<std::string_view>(m_pdfFlags[type]) : std::nullopt);
        });
        return true;
    }

    // Ends the walk's read, inside the transaction it belongs to.
    void end() { m_walk.reset(); }

private:
    bool readIndex() {
        qint64 types = 0;
        if (!m_db->ReadRows(QStringLiteral("SELECT count(*) FROM M_type"),
                            [&types](const QueryRow& row) { types = row.stored(0).integer; }))
            return false;
        m_index.reserve(RoomFor(types));
        m_pdfFlags.reserve(RoomFor(types));
        if (!m_db->ReadRows(QLatin1String(TypeRows), [this](const QueryRow& row) {
                m_index.add(m_texts.keep(row.stored(0)), quint32(m_pdfFlags.size()));
                m_pdfFlags.push_back(m_texts.add(textOf(row, 1, row.stored(1))));
            }))
            return false;
        m_index.finish();
        return true;
    }

    clsMDB* m_db = nullptr;
    std::optional<clsMDB::RowCursor> m_walk;
    bool m_onRow = false; // the walk is on a row
    TextArena m_texts;
    KeyIndex m_index;
    std::vector<std::string_view> m_pdfFlags;
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

// What a row of the list is put in order by: its model order from the joined M_order row, and the
// manual's year, class and publication number.
struct ListEntry {
    const SqlValue* order = nullptr; // OrderNo; no M_order row: NULL
    SortKey year;
    SortKey kubun;
    SortKey pubNo;
};

// The list read: the small tables into indexes, then each manual joined as it is scanned; then the order.
class Builder {
public:
    explicit Builder(bool japanese) : m_japanese(japanese) {}

    // M_type's join, and M_order into the index the manuals' models are joined through.
    bool readSmallTables(clsMDB& db) {
        if (!m_types.begin(db))
            return false;
        if (!db.ReadRows(QStringLiteral("SELECT Model_ID, OrderNo FROM M_order"),
                         [this](const QueryRow& row) {
                             m_orders.add(m_texts.keep(row.stored(0)), quint32(m_orderNumbers.size()));
                             m_orderNumbers.push_back(m_texts.keep(row.stored(1)));
                         }))
            return false;
        m_orders.finish();
        return true;
    }

    // Each manual joined and given as it is read.
    bool readManuals(clsMDB& db, const ManagerListReading& reading) {
        m_reading = &reading;
        qint64 manuals = 0;
        if (!db.ReadRows(QStringLiteral("SELECT count(*) FROM M_manage"),
                         [&manuals](const QueryRow& row) { manuals = row.stored(0).integer; }))
            return false;
        m_entries.reserve(RoomFor(manuals));
        if (reading.expect)
            reading.expect(RoomFor(manuals));
        bool joined = true;
        const bool read =
            db.ReadRows(QStringLiteral("SELECT Pub_No, InsPath, Model_desc, Year, Kubun, Lang, Adjust_flg, "
                                       "Version, Model_ID FROM M_manage"),
                        [this, &joined](const QueryRow& row) { joined = joined && addManual(row); });
        return read && joined;
    }

    // Ends what is still being read, inside the reads' transaction.
    void endReads() { m_types.end(); }

    // The places of the rows given, in the list's order.
    std::vector<quint32> order() const {
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
        return order;
    }

private:
    // False when M_type could not be read.
    bool addManual(const QueryRow& row) {
        std::array<SqlValue, 9> values;
        for (size_t column = 0; column < values.size(); ++column)
            values[column] = row.stored(int(column));
        ManagerListRow fields;
        // Converting a value to its text changes the value the row holds: the keys are kept first.
        ListEntry entry;
        entry.pubNo = SortKey(m_texts.keep(values[0]));
        entry.year = SortKey(m_texts.keep(values[3]));
        if (m_japanese)
            entry.kubun = SortKey(m_texts.keep(values[4]));
        const SqlValue typeKey = entry.pubNo.value();
        const SqlValue modelKey = m_texts.keep(values[8]);
        fields[ListPubNo] = textOf(row, 0, values[0]);
        fields[ListInsPath] = textOf(row, 1, values[1]);
        fields[ListModelDesc] = textOf(row, 2, values[2]);
        fields[ListYearOrClass] = m_japanese ? textOf(row, 4, values[4]) : textOf(row, 3, values[3]);
        fields[ListLanguage] = textOf(row, 5, values[5]);
        fields[ListAdjustFlag] = textOf(row, 6, values[6]);
        fields[ListVersion] = textOf(row, 7, values[7]);
        // A left join of both tables: one row for each pair of matching rows.
        return m_types.join(typeKey, [&](std::optional<std::string_view> pdfFlag) {
            m_orders.join(modelKey, [&](quint32 order) {
                fields[ListPdfFlag] = pdfFlag.value_or(std::string_view());
                entry.order = order != KeyIndex::NoRow ? &m_orderNumbers[order] : nullptr;
                m_entries.push_back(entry);
                m_reading->row(fields);
            });
        });
    }

    const bool m_japanese;
    const ManagerListReading* m_reading = nullptr;
    TextArena m_texts;
    TypeJoin m_types;
    KeyIndex m_orders;
    std::vector<SqlValue> m_orderNumbers;
    std::vector<ListEntry> m_entries;
};

} // namespace

bool ReadManagerListRows(clsMDB& db, bool japanese, const ManagerListReading& reading,
                         std::vector<quint32>& order) {
    Builder builder(japanese);
    if (!db.ReadTogether([&] {
            const bool read = builder.readSmallTables(db) && builder.readManuals(db, reading);
            builder.endReads();
            return read;
        }))
        return false;
    order = builder.order();
    return true;
}

bool ReadManagerListRows(clsMDB& db, bool japanese, const std::function<void(const ManagerListRow&)>& visit) {
    std::vector<std::array<std::string, ManagerListFieldCount>> rows;
    ManagerListReading reading;
    reading.row = [&rows](const ManagerListRow& row) {
        std::array<std::string, ManagerListFieldCount>& kept = rows.emplace_back();
        for (size_t field = 0; field < kept.size(); ++field)
            kept[field] = row[field];
    };
    std::vector<quint32> order;
    if (!ReadManagerListRows(db, japanese, reading, order))
        return false;
    ManagerListRow fields;
    for (const quint32 at : order) {
        for (size_t field = 0; field < fields.size(); ++field)
            fields[field] = rows[at][field];
        visit(fields);
    }
    return true;
}

} // namespace marvek::shared
