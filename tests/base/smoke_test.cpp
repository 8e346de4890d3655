#include <gtest/gtest.h>
#include "base/text_helpers.h"
TEST(Smoke, Builds) { EXPECT_EQ(velmora::RoundTo2Decimals(1.005), 1.0); }
