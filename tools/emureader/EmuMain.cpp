// The main of device test binaries: the umockdev preload must be in place before any test creates a
// testbed, so the binary re-executes itself under it first.
#include "tools/emureader/EmuTestbed.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    CEmuTestbed::EnsurePreload(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
