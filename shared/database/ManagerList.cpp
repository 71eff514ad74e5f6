#include "shared/database/ManagerList.h"

#include "shared/database/SqlValue.h"
#include "shared/database/clsMDB.h"

#include <QString>
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

namespace marvek::shared {

namespace {

// The texts and keys of every row, back to back in one block: a value refers to its bytes by offset,
// as the block grows while the tables are read.
class ValueStore {
public:
    struct Span {
        size_t offset = 0;
        size_t size = 0;
    };
    struct Value {
        SqlValue::Kind kind = SqlValue::Kind::Null;
        qint64 integer = 0;
        double real = 0;
        Span bytes;
    };

    Span text(std::string_view text) {
        const Span span{m_bytes.size(), text.size()};
        m_bytes.append(text);
        return span;
    }
    Value value(const SqlValue& value) { return {value.kind, value.integer, value.real, text(value.bytes)}; }

    std::string_view view(const Span& span) const {
        return std::string_view(m_bytes).substr(span.offset, span.size);
    }
    SqlValue view(const Value& value) const {
        return {value.kind, value.integer, value.real, view(value.bytes)};
    }

private:
    std::string m_bytes;
};

// A row of M_type (its Pdf_flg) or of M_order (its OrderNo) under its key.
struct Keyed {
    ValueStore::Value key;
    ValueStore::Value value; // M_order's OrderNo
    ValueStore::Span text;   // M_type's Pdf_flg as text
};

struct ManualEntry {
    std::array<ValueStore::Span, ManagerListFieldCount> fields;
    ValueStore::Value pubNo;
    ValueStore::Value modelId;
    ValueStore::Value year;
    ValueStore::Value kubun;
};

struct ListEntry {
    size_t manual = 0;
    const Keyed* type = nullptr;  // null: no M_type row
    const Keyed* order = nullptr; // null: no M_order row
};

// The rows of M_type or M_order under their key, found as the engine's = finds them (NOCASE).
class KeyedTable {
public:
    explicit KeyedTable(const ValueStore& store) : m_rows(0, Hash{&store}, Equal{&store}) {}

    void add(const Keyed& row) { m_rows.emplace(row.key, row); }
    // Calls take with each row under the key, or once with null when there is none (a left join).
    template <typename Take> void join(const ValueStore::Value& key, const Take& take) const {
        const auto [first, last] = key.kind == SqlValue::Kind::Null ? std::pair(m_rows.end(), m_rows.end())
                                                                    : m_rows.equal_range(key);
        if (first == last)
            take(nullptr);
        for (auto row = first; row != last; ++row)
            take(&row->second);
    }

private:
    struct Hash {
        const ValueStore* store;
        size_t operator()(const ValueStore::Value& key) const {
            return HashSqlValue(store->view(key), Collation::NoCase);
        }
    };
    struct Equal {
        const ValueStore* store;
        bool operator()(const ValueStore::Value& a, const ValueStore::Value& b) const {
            return CompareSqlValues(store->view(a), store->view(b), Collation::NoCase) == 0;
        }
    };
    std::unordered_multimap<ValueStore::Value, Keyed, Hash, Equal> m_rows;
};

class ListBuilder {
public:
    explicit ListBuilder(bool japanese) : m_japanese(japanese) {}

    bool read(clsMDB& db) {
        return db.ReadTogether([&] {
            return db.ReadRows(
                       QStringLiteral("SELECT Pub_No, InsPath, Model_desc, Year, Kubun, Lang, Adjust_flg, "
                                      "Version, Model_ID FROM M_manage"),
                       [this](const QueryRow& row) { addManual(row); }) &&
                   db.ReadRows(QStringLiteral("SELECT Pub_No, Pdf_flg FROM M_type"),
                               [this](const QueryRow& row) { addKeyed(m_types, row); }) &&
                   db.ReadRows(QStringLiteral("SELECT Model_ID, OrderNo FROM M_order"),
                               [this](const QueryRow& row) { addKeyed(m_orders, row); });
        });
    }

    void visit(const std::function<void(const ManagerListRow&)>& visit) {
        std::vector<ListEntry> list;
        list.reserve(m_manuals.size());
        for (size_t manual = 0; manual < m_manuals.size(); ++manual) {
            m_types.join(m_manuals[manual].pubNo, [&](const Keyed* type) {
                m_orders.join(m_manuals[manual].modelId, [&](const Keyed* order) {
                    list.push_back({manual, type, order});
                });
            });
        }
        std::stable_sort(list.begin(), list.end(),
                         [this](const ListEntry& a, const ListEntry& b) { return compare(a, b) < 0; });
        ManagerListRow row;
        for (const ListEntry& entry : list) {
            const ManualEntry& manual = m_manuals[entry.manual];
            for (size_t field = 0; field < row.size(); ++field)
                row[field] = m_store.view(manual.fields[field]);
            row[ListPdfFlag] = entry.type ? m_store.view(entry.type->text) : std::string_view();
            visit(row);
        }
    }

private:
    void addManual(const QueryRow& row) {
        std::array<SqlValue, 9> values;
        for (size_t column = 0; column < values.size(); ++column)
            values[column] = row.stored(int(column));
        ManualEntry manual;
        const auto text = [&](int column) {
            return m_store.text(textOf(row, column, values[size_t(column)]));
        };
        manual.fields[ListPubNo] = text(0);
        manual.fields[ListInsPath] = text(1);
        manual.fields[ListModelDesc] = text(2);
        manual.fields[ListYearOrClass] = text(m_japanese ? 4 : 3);
        manual.fields[ListLanguage] = text(5);
        manual.fields[ListAdjustFlag] = text(6);
        manual.fields[ListVersion] = text(7);
        manual.pubNo = m_store.value(values[0]);
        manual.year = m_store.value(values[3]);
        manual.kubun = m_store.value(values[4]);
        manual.modelId = m_store.value(values[8]);
        m_manuals.push_back(manual);
    }

    // Column 0 the key, column 1 the value (kept both as stored and as its text).
    void addKeyed(KeyedTable& table, const QueryRow& row) {
        const SqlValue key = row.stored(0);
        const SqlValue value = row.stored(1);
        Keyed entry;
        entry.key = m_store.value(key);
        entry.value = m_store.value(value);
        entry.text = m_store.text(textOf(row, 1, value));
        table.add(entry);
    }

    // A value's text as the access class reads it: a text as stored, anything else converted.
    static std::string_view textOf(const QueryRow& row, int column, const SqlValue& value) {
        return value.kind == SqlValue::Kind::Text ? value.bytes : row.utf8(column);
    }

    int compareKeys(const ValueStore::Value& a, const ValueStore::Value& b) const {
        return CompareSqlValues(m_store.view(a), m_store.view(b), Collation::NoCase);
    }

    int compare(const ListEntry& a, const ListEntry& b) const {
        static const ValueStore::Value null;
        const ValueStore::Value& orderA = a.order ? a.order->value : null;
        const ValueStore::Value& orderB = b.order ? b.order->value : null;
        if (const int r = CompareSqlValues(m_store.view(orderA), m_store.view(orderB), Collation::Binary);
            r != 0)
            return r;
        const ManualEntry& manualA = m_manuals[a.manual];
        const ManualEntry& manualB = m_manuals[b.manual];
        if (const int r = compareKeys(manualA.year, manualB.year); r != 0)
            return r;
        if (m_japanese) {
            if (const int r = compareKeys(manualA.kubun, manualB.kubun); r != 0)
                return r;
        }
        return compareKeys(manualA.pubNo, manualB.pubNo);
    }

    const bool m_japanese;
    ValueStore m_store;
    std::vector<ManualEntry> m_manuals;
    KeyedTable m_types{m_store};
    KeyedTable m_orders{m_store};
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
