#pragma once

#include <QString>

namespace marvek::testing {

// A path the test or bench program was built with (marvek_test_paths() in its CMakeLists.txt), by its
// name. The program ends at once on a name it was not built with.
QString BuildPath(const char* name);

} // namespace marvek::testing
