#pragma once

#include <QString>

namespace marvek::testing {

// A path the test or bench program was built with (marvek_test_paths() in its CMakeLists.txt), by its
// name. The program ends at once on a name it was not built with.
// UTF-8, defined by the generated source.
const char* BuildPathUtf8(const char* name);
inline QString BuildPath(const char* name) {
    return QString::fromUtf8(BuildPathUtf8(name));
}

} // namespace marvek::testing
