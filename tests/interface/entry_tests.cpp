#include <gtest/gtest.h>

#include "zorva_sound.h"

TEST(EntryTest, BeforeInitEverySlotOperationFails) {
    EXPECT_EQ(ZRVA_Play(0, 0, 0), 0u);
}
