#include "test_support.h"

#include <gtest/gtest.h>

// The tests' entry: a helper process or a private copy when asked for one,
// the tests otherwise.
int main(int argc, char** argv) {
    int exitCode = 0;
    if (testing_support::runInsteadOfTests(exitCode)) {
        return exitCode;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
