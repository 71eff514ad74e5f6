#pragma once

#include <QtGlobal>
#include <cstddef>
#include <string_view>

namespace marvek::shared {

// One value as the database engine stores it: its storage class and the number, or the bytes of a
// text (UTF-8) or a blob.
struct SqlValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    qint64 integer = 0;
    double real = 0;
    std::string_view bytes;
};

// The collations of the schema: BINARY (byte order) and NOCASE (ASCII letters folded).
enum class Collation { Binary, NoCase };

// Orders two values exactly as the engine's ORDER BY and = do: NULL first, then numbers by value,
// then texts by the collation, then blobs by their bytes. Negative, zero or positive.
int CompareSqlValues(const SqlValue& a, const SqlValue& b, Collation collation);
// A hash that agrees with CompareSqlValues: values it finds equal hash alike.
size_t HashSqlValue(const SqlValue& value, Collation collation);

} // namespace marvek::shared
