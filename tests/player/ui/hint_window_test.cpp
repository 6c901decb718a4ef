#include "ui/hint_window.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <memory>

namespace vortaq {
namespace {

QImage Paint(const HintLook& look, const QSize& size) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  PaintHint(p, look, QStringLiteral("テスト report"), size);
  return image;
}

HintLook Look(int style, bool shadow) {
  HintLook look;
  look.style = style;
  look.shadowVisible = shadow;
  look.fontColor = Qt::white;
  look.shadowColor = QColor(0x80, 0, 0);
  look.brushColor = QColor(0, 0, 0x80);
  look.penColor = Qt::yellow;
  return look;
}

TEST(HintWindowTest, StylesAdjustTheToolkitRectangle) {
  const QRect base(10, 20, 100, 30);
  EXPECT_EQ(AdjustHintRect(hsLineString, base).size(), QSize(121, 42));
  EXPECT_EQ(AdjustHintRect(hsRect, base).size(), QSize(103, 33));
  EXPECT_EQ(AdjustHintRect(hsFukidashi, base).size(), QSize(100, 39));
  EXPECT_EQ(AdjustHintRect(hsRoundRect, base), base);
  EXPECT_EQ(AdjustHintRect(hsOwnerDraw, base).topLeft(), base.topLeft());
  const QSize s(50, 40);
  EXPECT_EQ(HintRegion(hsRect, s), QRegion(1, 1, 48, 38));
  EXPECT_EQ(HintRegion(hsLineString, s), QRegion(1, 1, 48, 38));
  EXPECT_TRUE(HintRegion(hsOwnerDraw, s).isEmpty());
  EXPECT_EQ(BalloonPoints(s).first(), QPoint(14, 0));
  EXPECT_TRUE(HintRegion(hsFukidashi, s).contains(QPoint(5, 20)));
  EXPECT_FALSE(HintRegion(hsFukidashi, s).contains(QPoint(40, 3)));  // beside the tail
  EXPECT_EQ(FromWinColor(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(ToWinColor(QColor(0x12, 0x34, 0x56)), 0x563412);
}

TEST(HintWindowTest, RectFillsFramesAndLineStringPaintsOnlyTextAndLines) {
  const QSize size(120, 40);
  const QImage rect = Paint(Look(hsRect, true), size);
  EXPECT_EQ(rect.pixelColor(0, 0), QColor(Qt::yellow));          // frame
  EXPECT_EQ(rect.pixelColor(60, 38), QColor(0, 0, 0x80));        // fill below the text
  EXPECT_EQ(rect.pixelColor(119, 39), QColor(Qt::yellow));

  const QImage line = Paint(Look(hsLineString, true), size);
  EXPECT_EQ(line.pixelColor(1, 1), QColor(Qt::white));       // leader line in the font colour
  EXPECT_EQ(line.pixelColor(0, 0), QColor(0x80, 0, 0));       // its outline
  EXPECT_EQ(line.pixelColor(60, 3), QColor(Qt::white));
  EXPECT_EQ(line.pixelColor(60, 2), QColor(0x80, 0, 0));
  EXPECT_EQ(line.pixelColor(60, 38).alpha(), 0);              // nothing filled

  const QImage bare = Paint(Look(hsLineString, false), size);
  EXPECT_EQ(bare.pixelColor(1, 1), QColor(Qt::white));
  EXPECT_EQ(bare.pixelColor(60, 2).alpha(), 0);               // no outline lines
  int shadow = 0;
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      if (bare.pixelColor(x, y) == QColor(0x80, 0, 0)) ++shadow;
  EXPECT_EQ(shadow, 0);
}

TEST(HintWindowTest, OneCurrentComponentAndStyleChangesRecreateTheWindow) {
  auto first = std::make_unique<TAppHint>(nullptr);
  EXPECT_EQ(TAppHint::Current(), first.get());
  {
    TAppHint second(nullptr);
    EXPECT_EQ(TAppHint::Current(), &second);
  }
  EXPECT_EQ(TAppHint::Current(), nullptr);  // the current one was destroyed
  TAppHint hint(nullptr);
  hint.SetHintStyle(hsRect);
  QPointer<THintEx> window = hint.window();
  hint.SetHintStyle(hsRect);
  EXPECT_EQ(hint.window(), window.data());
  hint.SetHintStyle(hsLineString);
  EXPECT_TRUE(window.isNull());  // the old window is gone, a new one made
  EXPECT_NE(hint.window(), nullptr);

  QWidget target;
  target.setToolTip(QStringLiteral("[a.mp4]\r\nline"));
  hint.ShowHintFor(&target, QPoint(200, 100));
  ASSERT_TRUE(hint.window()->isVisible());
  EXPECT_EQ(hint.window()->pos(), QPoint(200, 100 + 16 - 8));  // 8 pixels above the toolkit's place
  EXPECT_EQ(hint.window()->size(),
            BaseHintSize(hint.look().font, target.toolTip(), 1 << 15) + QSize(21, 12));
  hint.SetShowHint(false);
  EXPECT_FALSE(hint.window()->isVisible());
  hint.ShowHintFor(&target, QPoint(200, 100));
  EXPECT_FALSE(hint.window()->isVisible());
}

}  // namespace
}  // namespace vortaq
