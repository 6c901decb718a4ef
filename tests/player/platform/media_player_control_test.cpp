#include "platform/media_player_control.h"

#include <gtest/gtest.h>
#include <mpv/client.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <fcntl.h>
#include <unistd.h>

#include "platform/local_path.h"

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
  EXPECT_EQ(errors_.at(0).at(1).toString(), test::Fixture("make_fixtures.sh"));
  EXPECT_TRUE(ended_.isEmpty());
  EXPECT_EQ(control_.PlayState(), MediaPlayerControl::kStopped);
}

// A broken file replaced at once by a good one: whatever the engine says of
// the broken one is said of it, never of the file that plays now.
TEST_F(MediaPlayerControlTest, ErrorsAreMatchedToTheLoadTheyAnswer) {
  const QString broken = test::Fixture("make_fixtures.sh"), good = test::Fixture("clip.mp4");
  for (int round = 0; round < 5; ++round) {
    errors_.clear();
    opened_.clear();
    control_.SetFileName(broken);
    control_.SetFileName(good);
    ASSERT_TRUE(Opened()) << round;
    test::WaitFor([] { return false; }, 100);
    for (const auto& e : errors_) EXPECT_EQ(e.at(1).toString(), broken) << round;
    EXPECT_EQ(control_.FileName(), good);
    EXPECT_EQ(control_.ImageSourceWidth(), 160);
  }
  // And a broken file that stays current is reported once, under its name.
  errors_.clear();
  control_.SetFileName(broken);
  ASSERT_TRUE(test::WaitFor([&] { return errors_.size() > 0; }));
  test::WaitFor([] { return false; }, 100);
  EXPECT_EQ(errors_.size(), 1);
  EXPECT_EQ(errors_.at(0).at(1).toString(), broken);
}

TEST_F(MediaPlayerControlTest, AnamorphicPicturesReportTheirDisplaySize) {
  control_.SetFileName(test::Fixture("anamorphic.mp4"));
  ASSERT_TRUE(Opened());
  // 160 stored pixels, 4:3 wide each (a busy engine may first name the
  // stored size, then the seen one with another open-state change).
  EXPECT_TRUE(test::WaitFor([&] { return control_.ImageSourceWidth() == 213; }))
      << control_.ImageSourceWidth();
  EXPECT_EQ(control_.ImageSourceHeight(), 120);
}

TEST_F(MediaPlayerControlTest, NamesThatAreNoUtf8PlayByTheirOwnBytes) {
  QTemporaryDir dir;
  const QByteArray local = QFile::encodeName(dir.path()) + "/tone\xE9\xFF.mp3";
  const QByteArray data = test::ReadAll(test::Fixture("tone.mp3"));
  const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, data.constData(), data.size()), data.size());
  ::close(fd);
  control_.SetFileName(PathFromLocal(local));
  ASSERT_TRUE(Opened());
  EXPECT_GT(control_.Duration(), 0.5);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MediaPlayerControlTest, TheBarSeeksWhereItIsClickedAndStepsOnTheWheel) {
  control_.resize(400, 300);
  control_.show();
  control_.SetAutoStart(false);
  control_.SetSeekStep(1);
  control_.SetFileName(test::Fixture("clip.mp4"));
  ASSERT_TRUE(Opened());
  ASSERT_TRUE(test::WaitFor([&] { return control_.Duration() > 1.5; }));
  test::WaitFor([] { return false; }, 50);
  auto* bar = control_.findChild<QSlider*>("PositionBar");
  ASSERT_NE(bar, nullptr);
  ASSERT_GT(bar->maximum(), 0);
  const QPointF at(bar->width() * 0.75, bar->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(bar, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(bar, &release);
  const double clicked = control_.Duration() * 0.75;
  EXPECT_TRUE(test::WaitFor([&] { return std::abs(control_.CurrentPosition() - clicked) < 0.3; }))
      << control_.CurrentPosition() << " " << clicked;

  const QPointF middle(bar->width() / 2.0, bar->height() / 2.0);
  QWheelEvent back(middle, bar->mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(bar, &back);
  EXPECT_TRUE(test::WaitFor([&] { return std::abs(control_.CurrentPosition() - (clicked - 1)) < 0.3; }))
      << control_.CurrentPosition();

  control_.SetStripVisible(false);
  EXPECT_FALSE(control_.findChild<QWidget*>("Strip")->isVisible());
  EXPECT_EQ(control_.findChild<QWidget*>("Picture")->height(), 300);
  control_.SetStripVisible(true);
  EXPECT_EQ(control_.findChild<QWidget*>("Picture")->height(), 300 - 146);
}

// The engine's value of name as text, once the asynchronous writes before it
// have been carried out.
std::string EngineValue(mpv_handle* mpv, const char* name, const std::string& expected) {
  std::string value;
  test::WaitFor([&] {
    char* text = mpv_get_property_string(mpv, name);
    value = text ? text : "";
    mpv_free(text);
    return value.find(expected) != std::string::npos && (!expected.empty() || value.empty());
  }, 3000);
  return value;
}

TEST_F(MediaPlayerControlTest, VolumeBalanceRateAndRepeatReachTheEngine) {
  mpv_handle* mpv = control_.engine();
  control_.SetVolume(-6000);
  EXPECT_EQ(control_.Volume(), -6000);
  EXPECT_EQ(EngineValue(mpv, "volume", "10.000000"), "10.000000");
  control_.SetBalance(-2500);
  const std::string af = EngineValue(mpv, "af", "balance_out=-0.25");
  EXPECT_NE(af.find("balance_out=-0.25"), std::string::npos) << af;
  control_.SetBalance(0);
  EXPECT_EQ(EngineValue(mpv, "af", ""), "");
  control_.SetRate(1.5);
  EXPECT_EQ(EngineValue(mpv, "speed", "1.500000"), "1.500000");
  control_.SetPlayCount(0);
  EXPECT_EQ(EngineValue(mpv, "loop-file", "inf"), "inf");
  QSignalSpy display(&control_, &MediaPlayerControl::DisplaySizeChange);
  control_.SetDisplaySize(3);
  control_.SetDisplaySize(3);
  EXPECT_EQ(control_.DisplaySize(), 3);
  EXPECT_EQ(display.size(), 1);
}

}  // namespace
}  // namespace vortaq
