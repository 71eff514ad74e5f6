// The test programs' precompiled headers: the suite's, and GoogleTest.
#pragma once

#include "qt.h"

#include <gtest/gtest.h>
