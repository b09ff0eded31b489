#include "registry/clsRegistry.h"
#include "tests/testing/ScratchKey.h"

#include <gtest/gtest.h>

TEST(Harness, ScratchKeyIsMadeAndRemoved) {
    std::wstring path;
    {
        ScratchKey key(L"Harness");
        path = key.Path();
        EXPECT_TRUE(KeyExists(key.Root(), path));
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
}
