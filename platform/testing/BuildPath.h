#pragma once

#include <QString>

namespace marvek::testing {

// A path the test program was built with (marvek_test_paths() in its CMakeLists.txt), by its name. The
// program ends at once on a name it was not built with. The tests use this, not the macros of
// TestPaths.h, so their files do not name the checkout and a compiler cache serves every clone.
QString BuildPath(const char* name);

} // namespace marvek::testing
