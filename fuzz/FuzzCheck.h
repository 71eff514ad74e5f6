#pragma once

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

} // namespace marvek::fuzz
