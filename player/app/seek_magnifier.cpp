#include "seek_magnifier.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "ini_file.h"

namespace vortaq {

namespace {

const QString kSection = QStringLiteral("Seek");

struct Clock {
  int hours, minutes, seconds;
};

Clock Split(double v) {
  if (!std::isfinite(v) || v < 0) v = 0;
  if (v - std::floor(v) >= 0.5) v = std::floor(v) + 1;
  const long long whole = static_cast<long long>(std::min(v, 9.0e15));
  const long long hours = whole >= 3600 ? whole / 3600 : 0;
  const long long rest = whole - hours * 3600;
  return {static_cast<int>(hours), static_cast<int>(rest / 60), static_cast<int>(rest % 60)};
}

int WholeSeconds(double v) {
  if (!std::isfinite(v) || v <= 0) return 0;
  return v >= 2147483647.0 ? 2147483647 : static_cast<int>(v);
}

}  // namespace

QString SeekCaption(int position, double duration) {
  const Clock p = Split(position), d = Split(duration);
  return QString::asprintf("拡大鏡 [%02d:%02d:%02d %df] -> [%02d:%02d:%02d %df]", p.hours, p.minutes,
                           p.seconds, position, d.hours, d.minutes, d.seconds, WholeSeconds(duration));
}

TVRTQ_SEEK::TVRTQ_SEEK(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("TVRTQ_SEEK"));
  setWindowTitle(QStringLiteral("拡大鏡"));
  SC = new QScrollBar(Qt::Horizontal, this);
  SC->setObjectName(QStringLiteral("SC"));
  SC->setRange(0, 0);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(SC);
  SC->installEventFilter(this);
  connect(SC, &QScrollBar::actionTriggered, this, &TVRTQ_SEEK::SC_Scroll);
  connect(SC, &QScrollBar::sliderReleased, this, [this] { emit SeekRequested(SC->value()); });
  connect(SC, &QScrollBar::valueChanged, this, &TVRTQ_SEEK::SC_Change);
  setGeometry(300, 300, 480, 70);
}

void TVRTQ_SEEK::Load(const IniFile& ini) {
  setGeometry(ini.ReadInteger(kSection, QStringLiteral("SeekX"), 300),
              ini.ReadInteger(kSection, QStringLiteral("SeekY"), 300),
              std::max(80, ini.ReadInteger(kSection, QStringLiteral("SeekW"), 480)),
              std::max(40, ini.ReadInteger(kSection, QStringLiteral("SeekH"), 70)));
}

void TVRTQ_SEEK::Save(IniFile& ini) const {
  const QRect g = geometry();
  ini.WriteInteger(kSection, QStringLiteral("SeekX"), g.x());
  ini.WriteInteger(kSection, QStringLiteral("SeekY"), g.y());
  ini.WriteInteger(kSection, QStringLiteral("SeekW"), g.width());
  ini.WriteInteger(kSection, QStringLiteral("SeekH"), g.height());
}

void TVRTQ_SEEK::Update(double duration, double position) {
  duration_ = duration;
  const QSignalBlocker quiet(SC);  // the engine's own progress is no seek
  SC->setMaximum(WholeSeconds(duration));
  SC->setPageStep(std::max(1, WholeSeconds(duration * 0.1)));
  if (!SC->isSliderDown() && !pendingStep_) SC->setValue(WholeSeconds(position));
  setWindowTitle(SeekCaption(SC->value(), duration_));
}

void TVRTQ_SEEK::SetStep(int seconds) {
  step_ = seconds;
  SC->setSingleStep(std::max(1, seconds));
}

void TVRTQ_SEEK::SC_Scroll(int action) {
  switch (action) {
    case QAbstractSlider::SliderMove:
      // A drag seeks as it goes; the new value is there once the action ends.
      QMetaObject::invokeMethod(this, [this] { emit SeekRequested(SC->value()); }, Qt::QueuedConnection);
      break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderPageStepSub:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      // Steps move the bar; playback follows when the scroll ends.
      pendingStep_ = true;
      QMetaObject::invokeMethod(this, [this] {
        if (SC->isSliderDown()) return;
        pendingStep_ = false;
        emit SeekRequested(SC->value());
      }, Qt::QueuedConnection);
      break;
    default:
      break;
  }
}

void TVRTQ_SEEK::SC_Change(int value) { setWindowTitle(SeekCaption(value, duration_)); }

bool TVRTQ_SEEK::eventFilter(QObject* watched, QEvent* event) {
  // The arrows move playback by the step, not the bar by its line.
  if (watched == SC && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
      emit StepRequested(key == Qt::Key_Left ? -1 : 1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TVRTQ_SEEK::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  SetStep(step_);
}

void TVRTQ_SEEK::closeEvent(QCloseEvent* event) {
  hide();
  emit Hidden();
  event->ignore();
}

}  // namespace vortaq
