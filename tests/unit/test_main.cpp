#include <gtest/gtest.h>

#include <windows.h>

#include "test_support.h"

// wmain (with -municode) so that the run-time fills __wargv, which the
// command-line tests feed to the parser as the stub does.
int wmain(int argc, wchar_t** argv) {
    if (int code = zel_test::RunChildMode(argc, argv); code >= 0) return code;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
