#include "hint_window.h"

#include <QApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>

namespace vortaq {

namespace {

TAppHint* g_current = nullptr;

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

QString Displayed(const QString& text) {
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return t;
}

void DrawText(QPainter& p, const QString& text, const QSize& size, QPoint offset, const QColor& c) {
  p.setPen(c);
  p.drawText(QRect(QPoint(0, 0), size).translated(offset), kTextFlags, Displayed(text));
}

}  // namespace

QColor FromWinColor(int color) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int ToWinColor(const QColor& color) {
  return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QSize BaseHintSize(const QFont& font, const QString& text, int maxWidth) {
  const QRect r = QFontMetrics(font).boundingRect(QRect(0, 0, maxWidth, 1 << 20), kTextFlags,
                                                  Displayed(text));
  return QSize(r.width() + 6, r.height() + 2);
}

QRect AdjustHintRect(int style, const QRect& rect) {
  switch (style) {
    case hsFukidashi: return rect.adjusted(0, 0, 0, 9);
    case hsLineString: return rect.adjusted(0, 0, 21, 12);
    case hsRect: return rect.adjusted(0, 0, 3, 3);
    default: return rect;
  }
}

QPolygon BalloonPoints(const QSize& s) {
  const int w = s.width(), h = s.height();
  return QPolygon({QPoint(14, 0), QPoint(8, 9), QPoint(0, 9), QPoint(0, h), QPoint(w, h),
                   QPoint(w, 9), QPoint(14, 9)});
}

QRegion HintRegion(int style, const QSize& s) {
  switch (style) {
    case hsFukidashi: return QRegion(BalloonPoints(s));
    case hsRoundRect: {
      QPainterPath path;
      path.addRoundedRect(QRectF(0, 0, s.width(), s.height()), 4, 4);
      return QRegion(path.toFillPolygon().toPolygon());
    }
    case hsLineString:
    case hsRect: return QRegion(1, 1, s.width() - 2, s.height() - 2);
    default: return QRegion();
  }
}

void PaintHint(QPainter& p, const HintLook& look, const QString& text, const QSize& size,
               const HintPaintEvent& ownerDraw) {
  p.setFont(look.font);
  p.setBackgroundMode(Qt::TransparentMode);
  p.setBackground(look.bgColor);
  const QRect all(QPoint(0, 0), size);
  const int w = size.width();
  switch (look.style) {
    case hsRect:
      p.fillRect(all, look.brushColor);
      DrawText(p, text, size, {3, 3}, look.fontColor);
      p.setPen(look.penColor);
      p.setBrush(Qt::NoBrush);
      p.drawRect(all.adjusted(0, 0, -1, -1));
      break;
    case hsLineString:
      if (look.shadowVisible) {
        for (QPoint o : {QPoint(19, 10), QPoint(19, 12), QPoint(18, 11), QPoint(20, 11)})
          DrawText(p, text, size, o, look.shadowColor);
      }
      DrawText(p, text, size, {19, 11}, look.fontColor);
      if (look.shadowVisible) {
        p.setPen(look.shadowColor);
        p.drawPolyline(QPolygon({QPoint(0, 0), QPoint(16, 2), QPoint(w - 1, 2)}));
        p.drawPolyline(QPolygon({QPoint(2, 0), QPoint(18, 4), QPoint(w + 1, 4)}));
      }
      p.setPen(look.fontColor);
      p.drawPolyline(QPolygon({QPoint(1, 1), QPoint(17, 3), QPoint(w, 3)}));
      break;
    case hsFukidashi:
      p.fillRect(all, look.brushColor);
      if (look.shadowVisible) DrawText(p, text, size, {4, 10}, look.shadowColor);
      DrawText(p, text, size, {3, 9}, look.fontColor);
      p.setPen(look.penColor);
      p.drawPolygon(BalloonPoints(size - QSize(1, 1)));
      break;
    case hsRoundRect:
      p.fillRect(all, look.brushColor);
      if (look.shadowVisible) DrawText(p, text, size, {2, 2}, look.shadowColor);
      DrawText(p, text, size, {1, 1}, look.fontColor);
      p.setPen(look.penColor);
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(all).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
      break;
    case hsOwnerDraw:
      if (ownerDraw) ownerDraw(text, p, size.width(), size.height());
      break;
    default:
      p.fillRect(all, QApplication::palette().toolTipBase());
      DrawText(p, text, size, {3, 1}, QApplication::palette().toolTipText().color());
      break;
  }
}

THintEx::THintEx()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput),
      hideTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("THintEx"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hideTimer_->setSingleShot(true);
  connect(hideTimer_, &QTimer::timeout, this, &QWidget::hide);
  if (TAppHint* hint = TAppHint::Current()) {
    setFont(hint->look().font);
    // Only the text and lines of hsLineString are painted; a compositor
    // shows the rest of the window as the screen beneath.
    if (hint->look().style == hsLineString) setAttribute(Qt::WA_TranslucentBackground);
  }
}

void THintEx::ActivateHint(const QPoint& position, const QString& text) {
  TAppHint* hint = TAppHint::Current();
  if (!hint) return;
  text_ = text;
  QScreen* screen = QGuiApplication::screenAt(position);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  QRect r(position, BaseHintSize(hint->look().font, text, area.width()));
  r = AdjustHintRect(hint->look().style, r);
  // Keep the whole hint on its screen.
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.top() < area.top()) r.moveTop(area.top());
  beneath_ = QPixmap();
  if (hint->look().style == hsLineString && QGuiApplication::platformName() == QLatin1String("xcb") &&
      screen) {
    // Without a compositor an X window cannot show what lies beneath it:
    // paint a copy of it instead.
    hide();
    beneath_ = screen->grabWindow(0, r.x() - screen->geometry().x(), r.y() - screen->geometry().y(),
                                  r.width(), r.height());
  }
  setGeometry(r);
  const QRegion region = HintRegion(hint->look().style, r.size());
  if (region.isEmpty()) clearMask();
  else setMask(region);
  show();
  raise();
  update();
  hideTimer_->start(hint->hintHidePause);
}

void THintEx::paintEvent(QPaintEvent*) {
  TAppHint* hint = TAppHint::Current();
  if (!hint || !hint->ShowHint()) return;
  QPainter p(this);
  if (!beneath_.isNull()) p.drawPixmap(0, 0, beneath_);
  PaintHint(p, hint->look(), text_, size(), hint->OnPaint);
}

namespace {

// Qt decides when a tool tip event comes: let it wait hintPause.
class HintTimingStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_ToolTip_WakeUpDelay && TAppHint::Current()) return TAppHint::Current()->hintPause;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

}  // namespace

TAppHint::TAppHint(QObject* owner) : QObject(owner) {
  g_current = this;
  if (!dynamic_cast<HintTimingStyle*>(QApplication::style()))
    QApplication::setStyle(new HintTimingStyle);
  look_.font = QApplication::font();
  qApp->installEventFilter(this);
  RecreateWindow();
}

TAppHint::~TAppHint() {
  if (g_current == this) g_current = nullptr;
  delete window_;
}

TAppHint* TAppHint::Current() { return g_current; }

void TAppHint::RecreateWindow() {
  delete window_;
  window_ = new THintEx;
}

void TAppHint::SetFont(const QFont& font, const QColor& color) {
  look_.font = font;
  look_.fontColor = color;
  RecreateWindow();
}

void TAppHint::SetHintStyle(int style) {
  if (style == look_.style) return;
  look_.style = style;
  RecreateWindow();
}

void TAppHint::SetShowHint(bool on) {
  showHint_ = on;
  if (!on && window_) window_->hide();
}

void TAppHint::ShowHintFor(QWidget* widget, const QPoint& globalPos) {
  emit OnHint(widget);
  QString text = widget ? widget->toolTip() : QString();
  bool canShow = showHint_ && !text.isEmpty();
  // The toolkit places a hint below the pointer; this one sits 8 pixels higher.
  QPoint position = globalPos + QPoint(0, 16 - 8);
  if (OnShowHint) OnShowHint(text, canShow, position);
  if (!canShow) {
    if (window_) window_->hide();
    return;
  }
  if (!window_) RecreateWindow();
  window_->ActivateHint(position, text);
}

bool TAppHint::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip: {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (!widget) return false;
      // The nearest widget up the chain that has a hint shows it.
      while (widget && widget->toolTip().isEmpty() && !widget->isWindow())
        widget = widget->parentWidget();
      if (!widget || widget->toolTip().isEmpty()) return false;
      const QPoint pos = static_cast<QHelpEvent*>(event)->globalPos();
      if (window_ && window_->isVisible() && window_->text() == widget->toolTip()) return true;
      const int delay =
          window_ && QDateTime::currentMSecsSinceEpoch() - lastHidden_ < 1000 ? hintShortPause : 0;
      QPointer<QWidget> target(widget);
      QTimer::singleShot(delay, this, [this, target, pos] {
        if (target && target->underMouse()) ShowHintFor(target, pos);
      });
      return true;
    }
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::WindowDeactivate:
      if (window_ && window_->isVisible() && watched != window_ && watched->isWidgetType()) {
        window_->hide();
        lastHidden_ = QDateTime::currentMSecsSinceEpoch();
      }
      return false;
    default:
      return false;
  }
}

}  // namespace vortaq
