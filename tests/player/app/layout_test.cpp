#include "layout.h"

#include <gtest/gtest.h>

namespace vortaq {
namespace {

const Box kFullHd{0, 0, 1920, 1080};

TEST(LayoutTest, PictureSizeForEveryChoice) {
  struct Case {
    MovieSize choice;
    int w, h;
    Size expected;
  } cases[] = {
      {MovieSize::kX1, 640, 480, {640, 480}},
      {MovieSize::kHalf, 641, 481, {320, 240}},
      {MovieSize::kX2, 640, 480, {1280, 960}},
      // Width decides for landscape: 1920/4 = 480 -> scale 0.75.
      {MovieSize::kScreen16, 640, 480, {480, 360}},
      {MovieSize::kScreen4, 640, 480, {960, 720}},
      {MovieSize::kFullScreen, 640, 480, {960, 720}},
      {MovieSize::kScreen2, 640, 480, {1440, 1080}},
      // Portrait: the height decides; 540 / 640 = 0.84375.
      {MovieSize::kScreen4, 480, 640, {405, 540}},
      // Square: the height decides too; (1080 / 4) * 3 = 810.
      {MovieSize::kScreen2, 100, 100, {810, 810}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PictureSize(c.choice, c.w, c.h, kFullHd), c.expected)
        << static_cast<int>(c.choice) << " " << c.w << "x" << c.h;
}

TEST(LayoutTest, ControlGroupAndClientSizes) {
  LayoutInput in;
  in.hasPicture = true;
  in.imageWidth = 640;
  in.imageHeight = 480;
  in.choice = MovieSize::kHalf;
  in.monitor = kFullHd;
  in.gbTop = 0;
  in.gbWidth = 200;
  in.gbHeight = 400;
  LayoutResult r = ComputeLayout(in);
  EXPECT_EQ(r.control, (Size{320, 386}));
  EXPECT_EQ(r.gbLeft, 328);
  EXPECT_EQ(r.client, (Size{536, 408}));  // the group is taller than the control

  in.choice = MovieSize::kScreen4;
  in.imageWidth = 480;
  in.imageHeight = 640;
  r = ComputeLayout(in);
  EXPECT_EQ(r.control, (Size{405, 686}));
  EXPECT_EQ(r.client, (Size{405 + 8 + 200 + 8, 686 + 8}));

  in.hideControls = true;
  r = ComputeLayout(in);
  EXPECT_EQ(r.client, (Size{413, 694}));

  // Audio only: the default control size whatever the choice.
  in.hasPicture = false;
  in.hideControls = false;
  r = ComputeLayout(in);
  EXPECT_EQ(r.control, (Size{300, 146}));
  EXPECT_EQ(r.gbLeft, 308);
}

// The designed sizes first, then the window is kept inside the working area:
// 画面1/2 of a 4:3 picture on a 1080-line monitor is 1,226 pixels tall with
// its strip.
TEST(LayoutTest, APictureTooLargeForTheWorkingAreaShrinksWithItsAspect) {
  LayoutInput in;
  in.hasPicture = true;
  in.imageWidth = 640;
  in.imageHeight = 480;
  in.choice = MovieSize::kScreen2;
  in.monitor = kFullHd;
  in.gbWidth = 200;
  in.gbHeight = 232;
  in.fit = {1920, 1000};  // the panel and the window frame take the rest
  LayoutResult r = ComputeLayout(in);
  const double scale = (1000.0 - 146 - 8) / 1080;  // designed: 1440 × 1080
  EXPECT_EQ(r.control.height, static_cast<int>(1080 * scale) + 146);
  EXPECT_EQ(r.control.width, static_cast<int>(1440 * scale));
  EXPECT_LE(r.client.height, 1000);
  EXPECT_LE(r.client.width, 1920);

  in.fit = {700, 2000};  // narrow: the width decides, the group included
  r = ComputeLayout(in);
  EXPECT_EQ(r.control.width, static_cast<int>(1440 * (484.0 / 1440)));
  EXPECT_EQ(r.control.height, static_cast<int>(1080 * (484.0 / 1440)) + 146);
  EXPECT_LE(r.client.width, 700);
  EXPECT_GE(r.client.width, 699);

  in.choice = MovieSize::kX1;  // what fits stays as designed
  in.imageWidth = 320;
  in.imageHeight = 240;
  r = ComputeLayout(in);
  EXPECT_EQ(r.control, (Size{320, 240 + 146}));
}

TEST(LayoutTest, MonitorOfTheCornerElseNearestElsePrimary) {
  const std::vector<Box> monitors{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  EXPECT_EQ(FindMonitor(monitors, 100, 100, 0), 0);
  EXPECT_EQ(FindMonitor(monitors, 2000, 10, 0), 1);
  EXPECT_EQ(FindMonitor(monitors, 1920, 10, 0), 1);  // shared edge: the last match
  EXPECT_EQ(FindMonitor(monitors, 5000, 100, 0), 1);  // a monitor that is gone
  EXPECT_EQ(FindMonitor(monitors, -300, 2000, 1), 0);
  EXPECT_EQ(FindMonitor({}, 0, 0, 0), -1);
}

}  // namespace
}  // namespace vortaq
