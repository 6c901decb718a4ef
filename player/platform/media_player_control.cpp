#include "media_player_control.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

#include "engine_values.h"
#include "mpv_engine.h"
#include "mpv_video_surface.h"

namespace vortaq {

// Seeks where it is clicked, as players do, and steps by the seek step on the
// wheel; a drag seeks when the handle is let go.
class PositionBar : public QSlider {
 public:
  PositionBar(QWidget* parent, std::function<void(double)> seek, std::function<int()> step)
      : QSlider(Qt::Horizontal, parent), seek_(std::move(seek)), step_(std::move(step)) {
    connect(this, &QSlider::sliderReleased, this, [this] { seek_(value() / 10.0); });
  }

  // Follows playback. Every repaint of the strip composes the whole window
  // with the picture again, so a value that moves the handle by less than a
  // pixel waits until it does.
  void Follow(int position) {
    if (isSliderDown() || position == value()) return;
    const int span = std::max(1, width());
    if (QStyle::sliderPositionFromValue(minimum(), maximum(), position, span) ==
        QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span))
      return;
    setValue(position);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || maximum() <= minimum()) {
      QSlider::mousePressEvent(event);
      return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (handle.contains(event->position().toPoint())) {
      QSlider::mousePressEvent(event);  // a drag of the handle
      return;
    }
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const int span = std::max(1, groove.width() - handle.width());
    const int x = static_cast<int>(event->position().x()) - groove.x() - handle.width() / 2;
    const int target =
        QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, option.upsideDown);
    setValue(target);
    seek_(target / 10.0);
    event->accept();
  }

 protected:
  void wheelEvent(QWheelEvent* event) override {
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0 || maximum() <= minimum()) {
      event->ignore();
      return;
    }
    const int target = std::clamp(value() + notches * step_() * 10, minimum(), maximum());
    setValue(target);
    seek_(target / 10.0);
    event->accept();
  }

 private:
  std::function<void(double)> seek_;
  std::function<int()> step_;
};

MediaPlayerControl::MediaPlayerControl(QWidget* parent, EngineOptions options)
    : QWidget(parent) {
  setObjectName(QStringLiteral("WMP64"));
  bool openGL = options.videoOutput.isEmpty() && OpenGLAvailable();
  engine_ = new MpvEngine(options, openGL, this);
  if (!engine_->handle()) openGL = false;
  connect(engine_, &MpvEngine::Loaded, this, &MediaPlayerControl::EngineLoaded);
  connect(engine_, &MpvEngine::PictureChanged, this, &MediaPlayerControl::EnginePictureChanged);
  connect(engine_, &MpvEngine::NoPicture, this, [this] {
    if (!fileName_.isEmpty()) SetOpenState(kOpen);
  });
  connect(engine_, &MpvEngine::Ended, this, [this] {
    if (fileName_.isEmpty()) return;
    stopped_ = true;
    emit EndOfStream(0);
    UpdateStrip();
  });
  connect(engine_, &MpvEngine::LoadFailed, this, [this](const QString& detail, const QString& path) {
    if (path == fileName_ && !engine_->loaded()) stopped_ = true;
    UpdateStrip();
    emit Error(detail, path);
  });
  connect(engine_, &MpvEngine::StateChanged, this, &MediaPlayerControl::UpdateStrip);

  if (openGL) {
    surface_ = new MpvVideoSurface(engine_->handle());
    connect(surface_, &MpvVideoSurface::Ready, this, [this] {
      if (loadPending_) Load();
    });
    connect(surface_, &MpvVideoSurface::DoubleClicked, this, [this] {
      SetDisplaySize(displaySize_ == kFullScreen ? kDefaultSize : kFullScreen);
    });
    // The container owns the surface from here on.
    picture_ = QWidget::createWindowContainer(surface_, this);
    picture_->setFocusPolicy(Qt::NoFocus);
    // The picture is a window of its own: the pauses of the pointer, its
    // leaving and the drops that widgets get from Qt are handed on by hand.
    hoverTimer_ = new QTimer(this);
    hoverTimer_->setSingleShot(true);
    hoverTimer_->setInterval(500);
    connect(surface_, &MpvVideoSurface::Hovered, this, [this](const QPoint& global) {
      hoverAt_ = global;
      hoverTimer_->start();
    });
    connect(hoverTimer_, &QTimer::timeout, this, [this] { emit PictureHovered(hoverAt_); });
    connect(surface_, &MpvVideoSurface::Left, this, [this] {
      hoverTimer_->stop();
      QEvent leave(QEvent::Leave);
      QCoreApplication::sendEvent(picture_, &leave);
    });
    connect(surface_, &MpvVideoSurface::DragEvent, this, [this](QEvent* event) {
      QCoreApplication::sendEvent(window(), event);
    });
  } else {
    picture_ = new QWidget(this);
  }
  picture_->setObjectName(QStringLiteral("Picture"));
  picture_->setAutoFillBackground(true);
  QPalette black = picture_->palette();
  black.setColor(QPalette::Window, Qt::black);
  picture_->setPalette(black);

  strip_ = new QWidget(this);
  strip_->setObjectName(QStringLiteral("Strip"));
  positionBar_ = new PositionBar(
      strip_, [this](double seconds) { SetCurrentPosition(seconds); }, [this] { return seekStep_; });
  positionBar_->setObjectName(QStringLiteral("PositionBar"));
  positionBar_->setRange(0, 0);
  playButton_ = new QPushButton(QStringLiteral("▶"), strip_);
  playButton_->setObjectName(QStringLiteral("PlayButton"));
  stopButton_ = new QPushButton(QStringLiteral("■"), strip_);
  stopButton_->setObjectName(QStringLiteral("StopButton"));
  timeLabel_ = new QLabel(QStringLiteral("0:00 / 0:00"), strip_);
  timeLabel_->setObjectName(QStringLiteral("TimeLabel"));
  for (QPushButton* b : {playButton_, stopButton_}) b->setFocusPolicy(Qt::NoFocus);
  positionBar_->setFocusPolicy(Qt::NoFocus);
  auto* column = new QVBoxLayout(strip_);
  column->setContentsMargins(6, 6, 6, 6);
  column->addWidget(positionBar_);
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {playButton_, stopButton_}) {
    b->setFixedWidth(44);
    row->addWidget(b);
  }
  row->addStretch(1);
  column->addLayout(row);
  column->addWidget(timeLabel_);
  column->addStretch(1);

  connect(playButton_, &QPushButton::clicked, this, [this] {
    if (PlayState() == kPlaying) Pause();
    else if (!fileName_.isEmpty()) Play();
  });
  connect(stopButton_, &QPushButton::clicked, this, [this] {
    if (PlayState() == kPlaying || PlayState() == kPaused) Stop();
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] {
    if (displaySize_ == kFullScreen) SetDisplaySize(kDefaultSize);
  });
  SetVolume(0);
}

MediaPlayerControl::~MediaPlayerControl() {
  // The render context (in the surface, owned by the picture's container)
  // must go before the engine does.
  if (surface_) delete picture_;
  surface_ = nullptr;
  picture_ = nullptr;
  delete engine_;
  engine_ = nullptr;
}

QWindow* MediaPlayerControl::videoSurface() const { return surface_; }

mpv_handle* MediaPlayerControl::engine() const { return engine_->handle(); }

QString MediaPlayerControl::engineError() const { return engine_->error(); }

void MediaPlayerControl::resizeEvent(QResizeEvent*) {
  const int stripHeight = stripVisible_ ? std::min(kStripHeight, height()) : 0;
  // Never empty: an OpenGL surface without area would never get its context,
  // and the engine needs that before a picture can be shown.
  picture_->setGeometry(0, 0, std::max(1, width()), std::max(1, height() - stripHeight));
  strip_->setGeometry(0, height() - stripHeight, width(), stripHeight);
  strip_->setVisible(stripVisible_);
  strip_->raise();
}

void MediaPlayerControl::SetStripVisible(bool visible) {
  if (visible == stripVisible_) return;
  stripVisible_ = visible;
  resizeEvent(nullptr);
}

void MediaPlayerControl::SetFileName(const QString& path) {
  if (path.isEmpty()) {
    fileName_.clear();
    loadPending_ = false;
    stopped_ = true;
    engine_->Unload();
    SetOpenState(kClosed);
    UpdateStrip();
    return;
  }
  fileName_ = path;
  stopped_ = !autoStart_;
  loadPaused_ = !autoStart_;
  pendingSeek_ = -1;
  SetOpenState(kOpening);
  // Without a render context the engine would give up the video for good.
  if (surface_ && !surface_->ready() && surface_->isVisible()) {
    loadPending_ = true;
    // Should the context never come, play without a picture rather than not at all.
    QTimer::singleShot(2000, this, [this, path] {
      if (loadPending_ && fileName_ == path) Load();
    });
    return;
  }
  Load();
}

void MediaPlayerControl::Load() {
  loadPending_ = false;
  engine_->Load(fileName_, loadPaused_ || rate_ <= 0);
}

void MediaPlayerControl::EngineLoaded() {
  if (fileName_.isEmpty()) return;
  if (pendingSeek_ >= 0) {
    engine_->SeekTo(pendingSeek_);
    pendingSeek_ = -1;
  }
  if (stopped_ && !loadPaused_) stopped_ = false;
  if (ImageSourceWidth() > 0 && ImageSourceHeight() > 0) SetOpenState(kOpen);
  UpdateStrip();
}

void MediaPlayerControl::EnginePictureChanged() {
  if (fileName_.isEmpty() || !engine_->loaded()) return;
  if (openState_ != kOpen) SetOpenState(kOpen);
  else emit OpenStateChange(kOpen, kOpen);
}

int MediaPlayerControl::ImageSourceWidth() const {
  return fileName_.isEmpty() ? 0 : engine_->pictureWidth();
}

int MediaPlayerControl::ImageSourceHeight() const {
  return fileName_.isEmpty() ? 0 : engine_->pictureHeight();
}

void MediaPlayerControl::SetPlayCount(int count) { engine_->SetLoopFile(count == 0); }

double MediaPlayerControl::CurrentPosition() const {
  if (fileName_.isEmpty()) return 0;
  if (!engine_->loaded()) return pendingSeek_ > 0 ? pendingSeek_ : 0;
  return engine_->timePos();
}

void MediaPlayerControl::SetCurrentPosition(double seconds) {
  if (fileName_.isEmpty() || !std::isfinite(seconds)) return;
  if (seconds < 0) seconds = 0;
  if (!engine_->loaded()) {
    pendingSeek_ = seconds;  // taken up once the file is loaded
    return;
  }
  engine_->SeekTo(seconds);
}

double MediaPlayerControl::Duration() const {
  if (!engine_->loaded()) return 0;
  const double d = engine_->duration();
  return std::isfinite(d) && d > 0 ? d : 0;
}

void MediaPlayerControl::SetRate(double rate) {
  if (!std::isfinite(rate)) return;
  const bool wasZero = rate_ <= 0;
  rate_ = rate;
  if (rate <= 0) {
    engine_->SetPause(true);
    return;
  }
  engine_->SetSpeed(std::clamp(rate, 0.01, 100.0));
  if (wasZero && !stopped_ && engine_->loaded()) engine_->SetPause(false);
}

void MediaPlayerControl::SetVolume(int attenuation) {
  volume_ = attenuation;
  engine_->SetVolumePercent(MpvVolumeFromAttenuation(attenuation));
}

void MediaPlayerControl::SetBalance(int balance) {
  balance_ = std::clamp(balance, -10000, 10000);
  engine_->SetBalanceFilter(BalanceFilter(balance_).toUtf8());
}

void MediaPlayerControl::SetDisplaySize(int size) {
  const int value = size == kFullScreen ? kFullScreen : kDefaultSize;
  if (value == displaySize_) return;
  displaySize_ = value;
  emit DisplaySizeChange(value);
}

int MediaPlayerControl::PlayState() const {
  if (fileName_.isEmpty() || stopped_) return kStopped;
  return engine_->paused() ? kPaused : kPlaying;
}

void MediaPlayerControl::Play() {
  if (fileName_.isEmpty()) return;
  if (engine_->loaded() && engine_->eofReached()) engine_->SeekTo(0);
  stopped_ = false;
  loadPaused_ = false;
  if (rate_ > 0) engine_->SetPause(false);
  UpdateStrip();
}

void MediaPlayerControl::Pause() {
  if (fileName_.isEmpty()) return;
  engine_->SetPause(true);
  UpdateStrip();
}

void MediaPlayerControl::Stop() {
  if (fileName_.isEmpty()) return;
  // Stopped keeps the file at position 0, as keep-open allows.
  engine_->SetPause(true);
  stopped_ = true;
  if (engine_->loaded()) engine_->SeekTo(0);
  else pendingSeek_ = 0;
  UpdateStrip();
}

void MediaPlayerControl::SetOpenState(int state) {
  if (state == openState_) return;
  const int old = openState_;
  openState_ = state;
  emit OpenStateChange(old, state);
}

void MediaPlayerControl::UpdateStrip() {
  const double duration = Duration();
  const double position = CurrentPosition();
  positionBar_->setRange(0, static_cast<int>(duration * 10));
  positionBar_->Follow(static_cast<int>(position * 10));
  timeLabel_->setText(FormatPlayTime(position) + QStringLiteral(" / ") + FormatPlayTime(duration));
  playButton_->setText(PlayState() == kPlaying ? QStringLiteral("❚❚") : QStringLiteral("▶"));
}

}  // namespace vortaq
