// The program's hints: TAppHint holds the look and replaces Qt's tool tips
// for every widget with THintEx, a frameless window painted in one of five
// styles. The geometry and painting are plain functions so that they can be
// checked without a screen.
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QPolygon>
#include <QRegion>
#include <QWidget>
#include <functional>

class QTimer;

namespace vortaq {

enum THintStyle { hsFukidashi = 0, hsRoundRect = 1, hsLineString = 2, hsRect = 3, hsOwnerDraw = 4 };

// Windows colours are 0x00BBGGRR.
QColor FromWinColor(int color);
int ToWinColor(const QColor& color);

struct HintLook {
  QColor bgColor = Qt::black;  // text background; drawn transparent, so unseen
  QColor brushColor{0x00, 0x00, 0x80};
  QFont font;
  QColor fontColor{0x00, 0xFF, 0x00};
  QColor penColor = Qt::black;
  QColor shadowColor{0x00, 0x00, 0xFF};
  bool shadowVisible = true;
  int style = hsFukidashi;
};

// The toolkit's hint rectangle for a text: the wrapped text plus 6 × 2.
QSize BaseHintSize(const QFont& font, const QString& text, int maxWidth);
// The rectangle after the style's adjustment (hsLineString 21 × 12 larger,
// hsRect 3 × 3, hsFukidashi 9 taller for the tail).
QRect AdjustHintRect(int style, const QRect& rect);
// The window region of a hint of that size; empty for "no region".
QRegion HintRegion(int style, const QSize& size);
// The balloon's outline, tail tip first.
QPolygon BalloonPoints(const QSize& size);

using HintPaintEvent = std::function<void(const QString& text, QPainter& canvas, int width, int height)>;

// Paints one hint of size over whatever the painter's device holds.
void PaintHint(QPainter& painter, const HintLook& look, const QString& text, const QSize& size,
               const HintPaintEvent& ownerDraw = {});

class THintEx : public QWidget {
  Q_OBJECT
 public:
  THintEx();
  // Shows text with its top-left corner at the toolkit's position.
  void ActivateHint(const QPoint& position, const QString& text);
  QString text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QPixmap beneath_;  // the screen under an hsLineString hint on X11
  QTimer* hideTimer_;
};

class TAppHint : public QObject {
  Q_OBJECT
 public:
  explicit TAppHint(QObject* owner);
  ~TAppHint() override;
  // The one current instance (the newest), or null.
  static TAppHint* Current();

  const HintLook& look() const { return look_; }
  void SetBGColor(const QColor& c) { look_.bgColor = c; }
  void SetBrushColor(const QColor& c) { look_.brushColor = c; }
  void SetFont(const QFont& font, const QColor& color);
  void SetFontColor(const QColor& c) { look_.fontColor = c; }
  void SetPenColor(const QColor& c) { look_.penColor = c; }
  void SetShadowColor(const QColor& c) { look_.shadowColor = c; }
  void SetShadowVisible(bool on) { look_.shadowVisible = on; }
  int HintStyle() const { return look_.style; }
  void SetHintStyle(int style);

  // The application's hint switches and times (ms).
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool on);
  int hintPause = 500;
  int hintHidePause = 30000;
  int hintShortPause = 50;

  HintPaintEvent OnPaint;
  std::function<void(QString& text, bool& canShow, QPoint& position)> OnShowHint;

  // Shows a hint for widget as a tool tip event at globalPos would.
  void ShowHintFor(QWidget* widget, const QPoint& globalPos);
  THintEx* window() const { return window_; }

 signals:
  void OnHint(QObject* sender);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RecreateWindow();

  HintLook look_;
  bool showHint_ = true;
  QPointer<THintEx> window_;
  qint64 lastHidden_ = 0;
};

}  // namespace vortaq
