// Included before anything else in each of the launcher's own files (see
// src/CMakeLists.txt). The C++ library declares its string instantiations
// extern, so every string operation would call the library's own copy, which
// is built with exceptions and brings the whole exception machinery into the
// executable. With this, the strings are instantiated in the launcher's code,
// built without exceptions (tests/release/check_executable.sh guards that the
// machinery stays out).
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
