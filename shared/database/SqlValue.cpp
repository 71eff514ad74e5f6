#include "shared/database/SqlValue.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

namespace marvek::shared {

namespace {

int kindRank(SqlValue::Kind kind) {
    switch (kind) {
    case SqlValue::Kind::Null:
        return 0;
    case SqlValue::Kind::Integer:
    case SqlValue::Kind::Real:
        return 1;
    case SqlValue::Kind::Text:
        return 2;
    case SqlValue::Kind::Blob:
        return 3;
    }
    return 0;
}

template <typename T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The engine's byte order: the common length compared as unsigned bytes, then the shorter first.
int compareBytes(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    if (common > 0) {
        if (const int r = std::memcmp(a.data(), b.data(), common); r != 0)
            return r;
    }
    return threeWay(a.size(), b.size());
}

unsigned char folded(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// NOCASE as the engine has it: ASCII letters folded over the common length, stopping at a NUL byte of
// the first text; when that part is equal the shorter text comes first. Equal bytes need no folding.
int compareNoCase(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y) {
            if (x == 0)
                break;
            continue;
        }
        if (x == 0)
            return -int(folded(y));
        if (const int r = int(folded(x)) - int(folded(y)); r != 0)
            return r;
    }
    return threeWay(a.size(), b.size());
}

int compareNumbers(const SqlValue& a, const SqlValue& b) {
    if (a.kind == SqlValue::Kind::Integer && b.kind == SqlValue::Kind::Integer)
        return threeWay(a.integer, b.integer);
    // A long double holds every 64-bit integer exactly.
    const auto number = [](const SqlValue& v) {
        return v.kind == SqlValue::Kind::Integer ? static_cast<long double>(v.integer)
                                                 : static_cast<long double>(v.real);
    };
    return threeWay(number(a), number(b));
}

} // namespace

int CompareSqlValues(const SqlValue& a, const SqlValue& b, Collation collation) {
    if (const int r = threeWay(kindRank(a.kind), kindRank(b.kind)); r != 0)
        return r;
    switch (a.kind) {
    case SqlValue::Kind::Null:
        return 0;
    case SqlValue::Kind::Integer:
    case SqlValue::Kind::Real:
        return compareNumbers(a, b);
    case SqlValue::Kind::Text:
        return collation == Collation::NoCase ? compareNoCase(a.bytes, b.bytes)
                                              : compareBytes(a.bytes, b.bytes);
    case SqlValue::Kind::Blob:
        return compareBytes(a.bytes, b.bytes);
    }
    return 0;
}

size_t HashSqlValue(const SqlValue& value, Collation collation) {
    const auto rank = size_t(kindRank(value.kind));
    switch (value.kind) {
    case SqlValue::Kind::Null:
        return rank;
    case SqlValue::Kind::Integer:
    case SqlValue::Kind::Real: {
        const long double number = value.kind == SqlValue::Kind::Integer
                                       ? static_cast<long double>(value.integer)
                                       : static_cast<long double>(value.real);
        return std::hash<long double>()(number) ^ rank;
    }
    case SqlValue::Kind::Text:
        if (collation == Collation::NoCase) {
            // Equal under NOCASE: the same length and the same folded bytes up to the first NUL.
            size_t hash = 14695981039346656037ULL ^ value.bytes.size();
            for (const char c : value.bytes) {
                if (c == '\0')
                    break;
                hash = (hash ^ folded(static_cast<unsigned char>(c))) * 1099511628211ULL;
            }
            return hash ^ rank;
        }
        return std::hash<std::string_view>()(value.bytes) ^ rank;
    case SqlValue::Kind::Blob:
        return std::hash<std::string_view>()(value.bytes) ^ rank;
    }
    return rank;
}

} // namespace marvek::shared
