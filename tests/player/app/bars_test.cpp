#include "bars.h"

#include <gtest/gtest.h>

namespace vortaq {
namespace {

TEST(BarsTest, Labels) {
  EXPECT_EQ(RateLabel(10), "Speed(100%)");
  EXPECT_EQ(RateLabel(15), "Speed(150%)");
  EXPECT_EQ(RateLabel(20), "Speed(200%)");
  EXPECT_DOUBLE_EQ(RateFromPosition(15), 1.5);
  EXPECT_DOUBLE_EQ(RateFromPosition(0), 0.0);
  EXPECT_EQ(BalanceLabel(0), "Balance(Center)");
  EXPECT_EQ(BalanceLabel(-2550), "Balance(L:25%)");
  EXPECT_EQ(BalanceLabel(10000), "Balance(R:100%)");
  EXPECT_EQ(BalanceLabel(99), "Balance(R:0%)");
  EXPECT_EQ(VolumeLabel(-5000), "Volume(0%)");
  EXPECT_EQ(VolumeLabel(-2500), "Volume(50%)");
  EXPECT_EQ(VolumeLabel(0), "Volume(100%)");
  EXPECT_EQ(RepeatCaption(12.5), "12.50");
  EXPECT_EQ(RepeatCaption(0.25), "0.25");
}

}  // namespace
}  // namespace vortaq
