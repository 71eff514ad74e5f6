#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A rule a fuzz harness checks: when it does not hold, the harness reports it and aborts, which
// libFuzzer and the replay program both take as a failing input.
#define MARVEK_FUZZ_CHECK(condition)                                                                         \
    ((condition) ? static_cast<void>(0) : ::marvek::fuzz::fail(#condition, __FILE__, __LINE__))

namespace marvek::fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: fuzz rule broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// The input from its skip-th byte on (the harnesses that read a choice from the first byte skip it).
inline QByteArray bytes(const uint8_t* data, size_t size, size_t skip = 0) {
    return skip >= size ? QByteArray()
                        : QByteArray(reinterpret_cast<const char*>(data + skip), qsizetype(size - skip));
}

inline QString utf8(const uint8_t* data, size_t size) {
    return QString::fromUtf8(bytes(data, size));
}

} // namespace marvek::fuzz
