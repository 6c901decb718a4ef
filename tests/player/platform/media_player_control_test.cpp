#include "platform/media_player_control.h"

#include <gtest/gtest.h>
#include <mpv/client.h>

#include <QSignalSpy>

#include "player_fixture.h"

namespace vortaq {
namespace {

class MediaPlayerControlTest : public testing::Test {
 protected:
  MediaPlayerControlTest()
      : control_(nullptr, {QStringLiteral("null"), QStringLiteral("null"), true}),
        opened_(&control_, &MediaPlayerControl::OpenStateChange),
        ended_(&control_, &MediaPlayerControl::EndOfStream),
        errors_(&control_, &MediaPlayerControl::Error) {}

  bool Opened() {
    return test::WaitFor([&] {
      for (const auto& args : opened_)
        if (args.at(1).toInt() == MediaPlayerControl::kOpen) return true;
      return false;
    });
  }

  MediaPlayerControl control_;
  QSignalSpy opened_, ended_, errors_;
};

TEST_F(MediaPlayerControlTest, VideoOpensWithItsPictureSizeAndObeysPlayPauseStop) {
  control_.SetAutoStart(false);
  control_.SetFileName(test::Fixture("clip.mp4"));
  EXPECT_EQ(control_.FileName(), test::Fixture("clip.mp4"));
  ASSERT_TRUE(Opened());
  EXPECT_EQ(control_.ImageSourceWidth(), 160);
  EXPECT_EQ(control_.ImageSourceHeight(), 120);
  EXPECT_NEAR(control_.Duration(), 2.0, 0.2);
  // Loaded without AutoStart: stopped, as the Windows control reports it.
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);

  control_.SetCurrentPosition(1.0);
  EXPECT_TRUE(test::WaitFor([&] { return std::abs(control_.CurrentPosition() - 1.0) < 0.15; }));
  control_.Play();
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kPlaying);
  control_.Pause();
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kPaused);
  const double paused = control_.CurrentPosition();
  control_.Stop();
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);
  EXPECT_TRUE(test::WaitFor([&] { return control_.CurrentPosition() < 0.05; }));
  EXPECT_GT(paused, 0.5);
  EXPECT_EQ(control_.FileName(), test::Fixture("clip.mp4"));  // Stop keeps the file
  EXPECT_TRUE(errors_.isEmpty());

  control_.SetFileName(QString());
  EXPECT_EQ(control_.FileName(), QString());
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);
  EXPECT_EQ(control_.ImageSourceWidth(), 0);
}

TEST_F(MediaPlayerControlTest, AudioHasNoPictureAndEndsOnce) {
  control_.SetPlayCount(1);
  control_.SetFileName(test::Fixture("tone.mp3"));
  ASSERT_TRUE(Opened());
  EXPECT_EQ(control_.ImageSourceWidth(), 0);
  EXPECT_EQ(control_.ImageSourceHeight(), 0);
  ASSERT_TRUE(test::WaitFor([&] { return ended_.size() > 0; }));
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);
  // Play after the end starts over.
  control_.Play();
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kPlaying);
  ASSERT_TRUE(test::WaitFor([&] { return ended_.size() > 1; }));
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MediaPlayerControlTest, PositionSetBeforeLoadingIsKeptForTheLoadedFile) {
  control_.SetAutoStart(false);
  control_.SetFileName(test::Fixture("clip.mp4"));
  control_.SetCurrentPosition(1.2);
  ASSERT_TRUE(Opened());
  EXPECT_TRUE(test::WaitFor([&] { return std::abs(control_.CurrentPosition() - 1.2) < 0.15; }));
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);
  control_.Play();
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kPlaying);
  EXPECT_GE(control_.CurrentPosition(), 1.1);
}

TEST_F(MediaPlayerControlTest, AFileThatCannotBeOpenedRaisesAnError) {
  control_.SetFileName(test::Fixture("make_fixtures.sh"));
  ASSERT_TRUE(test::WaitFor([&] { return errors_.size() > 0; }));
  EXPECT_FALSE(errors_.at(0).at(0).toString().isEmpty());
  EXPECT_TRUE(ended_.isEmpty());
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);
}

TEST_F(MediaPlayerControlTest, VolumeBalanceRateAndRepeatReachTheEngine) {
  control_.SetVolume(-6000);
  EXPECT_EQ(control_.Volume(), -6000);
  double volume = 0;
  mpv_get_property(control_.engine(), "volume", MPV_FORMAT_DOUBLE, &volume);
  EXPECT_NEAR(volume, 10.0, 1e-6);
  control_.SetBalance(-2500);
  char* af = mpv_get_property_string(control_.engine(), "af");
  ASSERT_NE(af, nullptr);
  EXPECT_NE(std::string(af).find("balance_out=-0.25"), std::string::npos) << af;
  mpv_free(af);
  control_.SetBalance(0);
  af = mpv_get_property_string(control_.engine(), "af");
  EXPECT_EQ(std::string(af ? af : ""), "");
  mpv_free(af);
  control_.SetRate(1.5);
  double speed = 0;
  mpv_get_property(control_.engine(), "speed", MPV_FORMAT_DOUBLE, &speed);
  EXPECT_DOUBLE_EQ(speed, 1.5);
  control_.SetPlayCount(0);
  char* loop = mpv_get_property_string(control_.engine(), "loop-file");
  EXPECT_STREQ(loop, "inf");
  mpv_free(loop);
  QSignalSpy display(&control_, &MediaPlayerControl::DisplaySizeChange);
  control_.SetDisplaySize(3);
  control_.SetDisplaySize(3);
  EXPECT_EQ(control_.DisplaySize(), 3);
  EXPECT_EQ(display.size(), 1);
}

}  // namespace
}  // namespace vortaq
