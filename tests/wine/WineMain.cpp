// The Wine tests' entry: they need Wine, a prepared prefix and the Windows build, which
// scripts/wine-tests.sh provides; started any other way they say so instead of failing one by
// one.

#include <gtest/gtest.h>

#include <cstdio>

#include "WineEnvironment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const auto missing = wine_testing::MissingEnvironment(); !missing.empty()) {
        std::fprintf(stderr, "wine_tests: %s not set; run scripts/wine-tests.sh BUILD-WIN\n",
                     missing.c_str());
        return 2;
    }
    return RUN_ALL_TESTS();
}
