// The real video surface and the hint windows on an X server (run under
// xvfb-run); skipped on the offscreen platform.
#include <gtest/gtest.h>

#include <QDropEvent>

#include <QWindow>

#include <QUrl>

#include <QMouseEvent>

#include <QMimeData>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <memory>

#include "main_window.h"
#include "player_fixture.h"
#include "ui/hint_window.h"

namespace vortaq {
namespace {

QImage Grab(const QRect& r) {
  return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
}

void Save(const QImage& image, const char* name) {
  const QString dir = qEnvironmentVariable("VORTAQ_SCREENSHOTS");
  if (!dir.isEmpty()) image.save(dir + QLatin1Char('/') + QLatin1String(name));
}

TEST(XvfbTest, VideoIsDrawnAndHintsShowInBothStyles) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X server";
  QTemporaryDir dir, runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  MainWindowOptions o;
  o.programDir = QStringLiteral(VORTAQ_BIN_DIR);
  o.libraries = {QStringLiteral(VORTAQ_PROBEX_LIB)};
  o.settingsPath = dir.filePath("vortaq.ini");
  o.arguments = {test::Fixture("clip.mp4")};
  o.engine.audioOutput = QStringLiteral("null");
  auto window = std::make_unique<TVRTQ_MAIN>(o);
  window->show();
  MediaPlayerControl* player = window->player();
  ASSERT_TRUE(test::WaitFor([&] { return player->ImageSourceWidth() == 160; }));
  ASSERT_TRUE(player->hasVideoSurface());
  player->Pause();
  test::WaitFor([] { return false; }, 800);
  const QRect picture(player->mapToGlobal(QPoint(0, 0)), QSize(160, 120));
  const QImage shot = Grab(picture);
  // testsrc draws colour bars: the picture is anything but one flat colour.
  QSet<QRgb> colours;
  for (int x = 0; x < shot.width(); x += 8) colours.insert(shot.pixel(x, shot.height() / 3));
  EXPECT_GT(colours.size(), 4);
  Save(Grab(window->frameGeometry().adjusted(0, 0, 40, 40)), "main-window.png");

  TAppHint* hint = TAppHint::Current();
  ASSERT_NE(hint, nullptr);
  for (auto [style, name] : {std::pair{hsRect, "hint-rect.png"}, std::pair{hsLineString, "hint-linestring.png"}}) {
    hint->SetHintStyle(style);
    test::WaitFor([] { return false; }, 300);  // the previous hint leaves the screen
    hint->ShowHintFor(window.get(), player->mapToGlobal(QPoint(40, 30)));
    test::WaitFor([] { return false; }, 300);
    ASSERT_TRUE(hint->window()->isVisible());
    const QRect r = hint->window()->geometry();
    Save(Grab(window->frameGeometry().united(r).adjusted(0, 0, 20, 20)), name);
    const QImage h = Grab(r);
    if (style == hsRect) EXPECT_EQ(h.pixelColor(r.width() / 2, r.height() - 3), hint->look().brushColor);
    else EXPECT_EQ(h.pixelColor(1, 1), hint->look().fontColor);
  }
  // The picture is a native window of its own: a rest of the pointer over it
  // shows the hint, and files dropped on it play.
  QWindow* surface = player->videoSurface();
  ASSERT_NE(surface, nullptr);
  hint->window()->hide();
  const QPoint inside(30, 20);
  QMouseEvent move(QEvent::MouseMove, inside, surface->mapToGlobal(inside), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(surface, &move);
  EXPECT_TRUE(test::WaitFor([&] { return hint->window()->isVisible(); }, 3000));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(test::Fixture("tone.mp3"))});
  QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(surface, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(inside), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(surface, &drop);
  EXPECT_TRUE(test::WaitFor([&] { return player->FileName() == test::Fixture("tone.mp3"); }));
  window->close();
}

}  // namespace
}  // namespace vortaq
