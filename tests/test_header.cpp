// The test programs' shared GoogleTest header, compiled once for them all
// (cmake/native.cmake, cmake/plugin.cmake).
#include <gtest/gtest.h>
