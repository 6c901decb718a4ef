#include "platform/engine_values.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vortaq {
namespace {

TEST(EngineValuesTest, VolumeIsCubicInAmplitude) {
  EXPECT_DOUBLE_EQ(MpvVolumeFromAttenuation(0), 100.0);
  // -60 dB is an amplitude of 0.001, whose cube root is 0.1.
  EXPECT_NEAR(MpvVolumeFromAttenuation(-6000), 10.0, 1e-9);
  EXPECT_NEAR(MpvVolumeFromAttenuation(-2000), 100.0 * std::pow(0.1, 1.0 / 3), 1e-9);
  EXPECT_DOUBLE_EQ(MpvVolumeFromAttenuation(500), 100.0);  // no gain past full
  EXPECT_GT(MpvVolumeFromAttenuation(-5000), MpvVolumeFromAttenuation(-5001));
}

TEST(EngineValuesTest, BalanceFilterAndTimes) {
  EXPECT_EQ(BalanceFilter(0), "");
  EXPECT_EQ(BalanceFilter(-2500), "@bal:lavfi=[stereotools=balance_out=-0.2500]");
  EXPECT_EQ(BalanceFilter(20000), "@bal:lavfi=[stereotools=balance_out=1.0000]");
  EXPECT_EQ(FormatPlayTime(0), "0:00");
  EXPECT_EQ(FormatPlayTime(83.7), "1:23");
  EXPECT_EQ(FormatPlayTime(3725), "1:02:05");
  EXPECT_EQ(FormatPlayTime(-1), "0:00");
  EXPECT_EQ(FormatPlayTime(std::nan("")), "0:00");
}

}  // namespace
}  // namespace vortaq
