#include "media_player_control.h"

#include <mpv/client.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <clocale>
#include <cmath>

#include "engine_values.h"
#include "mpv_video_surface.h"

namespace vortaq {

namespace {

constexpr uint64_t kObserveEof = 1;
constexpr uint64_t kObserveTime = 2;

void Wakeup(void* control) {
  // Runs on an engine thread: hand the draining to the GUI thread once.
  auto* c = static_cast<MediaPlayerControl*>(control);
  QMetaObject::invokeMethod(c, "DrainEvents", Qt::QueuedConnection);
}

void SetOption(mpv_handle* mpv, const char* name, const QString& value) {
  mpv_set_option_string(mpv, name, value.toUtf8().constData());
}

void Command(mpv_handle* mpv, std::initializer_list<QByteArray> args) {
  std::vector<const char*> argv;
  for (const QByteArray& a : args) argv.push_back(a.constData());
  argv.push_back(nullptr);
  mpv_command(mpv, argv.data());
}

double DoubleProperty(mpv_handle* mpv, const char* name, double fallback) {
  double value = 0;
  return mpv_get_property(mpv, name, MPV_FORMAT_DOUBLE, &value) >= 0 ? value : fallback;
}

int64_t IntProperty(mpv_handle* mpv, const char* name) {
  int64_t value = 0;
  return mpv_get_property(mpv, name, MPV_FORMAT_INT64, &value) >= 0 ? value : 0;
}

bool FlagProperty(mpv_handle* mpv, const char* name) {
  int value = 0;
  return mpv_get_property(mpv, name, MPV_FORMAT_FLAG, &value) >= 0 && value;
}

void SetFlag(mpv_handle* mpv, const char* name, bool on) {
  int value = on ? 1 : 0;
  mpv_set_property(mpv, name, MPV_FORMAT_FLAG, &value);
}

}  // namespace

MediaPlayerControl::MediaPlayerControl(QWidget* parent, EngineOptions options)
    : QWidget(parent) {
  setObjectName(QStringLiteral("WMP64"));
  // The engine refuses to start under a locale whose decimal point is not '.'.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  const bool openGL = options.videoOutput.isEmpty() && OpenGLAvailable();
  QString vo = options.videoOutput.isEmpty() ? QStringLiteral("null") : options.videoOutput;
  if (openGL) vo = QStringLiteral("libmpv");
  SetOption(mpv_, "vo", vo);
  if (!options.audioOutput.isEmpty()) SetOption(mpv_, "ao", options.audioOutput);
  if (options.untimed) SetOption(mpv_, "untimed", QStringLiteral("yes"));
  SetOption(mpv_, "config", QStringLiteral("no"));
  SetOption(mpv_, "terminal", QStringLiteral("no"));
  SetOption(mpv_, "idle", QStringLiteral("yes"));
  SetOption(mpv_, "keep-open", QStringLiteral("yes"));
  SetOption(mpv_, "audio-display", QStringLiteral("no"));
  SetOption(mpv_, "input-default-bindings", QStringLiteral("no"));
  SetOption(mpv_, "osc", QStringLiteral("no"));
  SetOption(mpv_, "ytdl", QStringLiteral("no"));
  SetOption(mpv_, "volume-max", QStringLiteral("100"));
  SetOption(mpv_, "loop-file", QStringLiteral("no"));
  mpv_initialize(mpv_);
  mpv_observe_property(mpv_, kObserveEof, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kObserveTime, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_set_wakeup_callback(mpv_, Wakeup, this);

  if (openGL) {
    surface_ = new MpvVideoSurface(mpv_, this);
    connect(surface_, &MpvVideoSurface::Ready, this, [this] {
      if (loadPending_) Load();
    });
    connect(surface_, &MpvVideoSurface::DoubleClicked, this, [this] {
      SetDisplaySize(displaySize_ == kFullScreen ? kDefaultSize : kFullScreen);
    });
    picture_ = surface_;
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
  positionBar_ = new QSlider(Qt::Horizontal, strip_);
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
  connect(positionBar_, &QSlider::sliderPressed, this, [this] { barDragging_ = true; });
  connect(positionBar_, &QSlider::sliderReleased, this, [this] {
    barDragging_ = false;
    SetCurrentPosition(positionBar_->value() / 10.0);
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] {
    if (displaySize_ == kFullScreen) SetDisplaySize(kDefaultSize);
  });
  SetVolume(0);
}

MediaPlayerControl::~MediaPlayerControl() {
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  // The render context must go before the engine does.
  delete surface_;
  surface_ = nullptr;
  mpv_terminate_destroy(mpv_);
}

void MediaPlayerControl::resizeEvent(QResizeEvent*) {
  const int stripHeight = std::min(kStripHeight, height());
  // Never empty: an OpenGL surface without area would never get its context,
  // and the engine needs that before a picture can be shown.
  picture_->setGeometry(0, 0, std::max(1, width()), std::max(1, height() - stripHeight));
  strip_->setGeometry(0, height() - stripHeight, width(), stripHeight);
  strip_->raise();
}

void MediaPlayerControl::SetFileName(const QString& path) {
  if (path.isEmpty()) {
    fileName_.clear();
    loadPending_ = false;
    loaded_ = false;
    stopped_ = true;
    entryId_ = -1;
    imageWidth_ = imageHeight_ = 0;
    Command(mpv_, {"stop"});
    SetOpenState(kClosed);
    UpdateStrip();
    return;
  }
  fileName_ = path;
  loaded_ = false;
  stopped_ = !autoStart_;
  pendingSeek_ = -1;
  imageWidth_ = imageHeight_ = 0;
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
  SetFlag(mpv_, "pause", !autoStart_ || rate_ <= 0);
  Command(mpv_, {"loadfile", fileName_.toUtf8(), "replace"});
}

void MediaPlayerControl::SetPlayCount(int count) {
  mpv_set_property_string(mpv_, "loop-file", count == 0 ? "inf" : "no");
}

double MediaPlayerControl::CurrentPosition() const {
  if (fileName_.isEmpty()) return 0;
  if (!loaded_) return pendingSeek_ > 0 ? pendingSeek_ : 0;
  return DoubleProperty(mpv_, "time-pos", 0);
}

void MediaPlayerControl::SetCurrentPosition(double seconds) {
  if (fileName_.isEmpty() || !std::isfinite(seconds)) return;
  if (seconds < 0) seconds = 0;
  if (!loaded_) {
    pendingSeek_ = seconds;  // taken up once the file is loaded
    return;
  }
  Command(mpv_, {"seek", QByteArray::number(seconds, 'f', 3), "absolute+exact"});
}

double MediaPlayerControl::Duration() const {
  if (!loaded_) return 0;
  const double d = DoubleProperty(mpv_, "duration", 0);
  return std::isfinite(d) && d > 0 ? d : 0;
}

void MediaPlayerControl::SetRate(double rate) {
  if (!std::isfinite(rate)) return;
  const bool wasZero = rate_ <= 0;
  rate_ = rate;
  if (rate <= 0) {
    SetFlag(mpv_, "pause", true);
    return;
  }
  double speed = std::clamp(rate, 0.01, 100.0);
  mpv_set_property(mpv_, "speed", MPV_FORMAT_DOUBLE, &speed);
  if (wasZero && !stopped_ && loaded_) SetFlag(mpv_, "pause", false);
}

void MediaPlayerControl::SetVolume(int attenuation) {
  volume_ = attenuation;
  double percent = MpvVolumeFromAttenuation(attenuation);
  mpv_set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &percent);
}

void MediaPlayerControl::SetBalance(int balance) {
  balance_ = std::clamp(balance, -10000, 10000);
  ApplyBalance();
}

void MediaPlayerControl::ApplyBalance() {
  // The engine has no balance property: a labelled filter is replaced.
  const char* remove[] = {"af", "remove", "@bal", nullptr};
  mpv_command(mpv_, remove);
  const QByteArray filter = BalanceFilter(balance_).toUtf8();
  if (filter.isEmpty()) return;
  const char* add[] = {"af", "add", filter.constData(), nullptr};
  mpv_command(mpv_, add);
}

void MediaPlayerControl::SetDisplaySize(int size) {
  const int value = size == kFullScreen ? kFullScreen : kDefaultSize;
  if (value == displaySize_) return;
  displaySize_ = value;
  emit DisplaySizeChange(value);
}

int MediaPlayerControl::PlayState() const {
  if (fileName_.isEmpty() || stopped_) return kStopped;
  if (FlagProperty(mpv_, "pause")) return kPaused;
  return kPlaying;
}

void MediaPlayerControl::Play() {
  if (fileName_.isEmpty()) return;
  if (loaded_ && FlagProperty(mpv_, "eof-reached")) Command(mpv_, {"seek", "0", "absolute"});
  stopped_ = false;
  if (rate_ > 0) SetFlag(mpv_, "pause", false);
  UpdateStrip();
}

void MediaPlayerControl::Pause() {
  if (fileName_.isEmpty()) return;
  SetFlag(mpv_, "pause", true);
  UpdateStrip();
}

void MediaPlayerControl::Stop() {
  if (fileName_.isEmpty()) return;
  // Stopped keeps the file at position 0, as keep-open allows.
  SetFlag(mpv_, "pause", true);
  stopped_ = true;
  if (loaded_) Command(mpv_, {"seek", "0", "absolute+exact"});
  else pendingSeek_ = 0;
  UpdateStrip();
}

void MediaPlayerControl::SetOpenState(int state) {
  if (state == openState_) return;
  const int old = openState_;
  openState_ = state;
  emit OpenStateChange(old, state);
}

void MediaPlayerControl::DrainEvents() {
  while (mpv_) {
    mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    HandleEvent(*event);
  }
}

void MediaPlayerControl::HandleEvent(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_START_FILE:
      entryId_ = static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id;
      break;
    case MPV_EVENT_FILE_LOADED: {
      if (fileName_.isEmpty()) break;
      loaded_ = true;
      if (pendingSeek_ >= 0) {
        Command(mpv_, {"seek", QByteArray::number(pendingSeek_, 'f', 3), "absolute+exact"});
        pendingSeek_ = -1;
      }
      if (stopped_ && autoStart_) stopped_ = false;
      // Without a picture track no reconfiguration will bring a size.
      if (IntProperty(mpv_, "current-tracks/video/id") <= 0) SetOpenState(kOpen);
      UpdateStrip();
      break;
    }
    case MPV_EVENT_VIDEO_RECONFIG: {
      if (fileName_.isEmpty() || !loaded_) break;
      const int w = static_cast<int>(IntProperty(mpv_, "video-params/w"));
      const int h = static_cast<int>(IntProperty(mpv_, "video-params/h"));
      if (w <= 0 || h <= 0) break;
      const bool changed = w != imageWidth_ || h != imageHeight_;
      imageWidth_ = w;
      imageHeight_ = h;
      if (openState_ != kOpen) SetOpenState(kOpen);
      else if (changed) emit OpenStateChange(kOpen, kOpen);
      break;
    }
    case MPV_EVENT_END_FILE: {
      const auto* end = static_cast<mpv_event_end_file*>(event.data);
      if (end->playlist_entry_id != entryId_ || fileName_.isEmpty()) break;
      if (end->reason == MPV_END_FILE_REASON_ERROR) {
        stopped_ = true;
        loaded_ = false;
        emit Error(QString::fromUtf8(mpv_error_string(end->error)));
      } else if (end->reason == MPV_END_FILE_REASON_EOF) {
        stopped_ = true;
        emit EndOfStream(0);
      }
      UpdateStrip();
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      const auto* p = static_cast<mpv_event_property*>(event.data);
      if (event.reply_userdata == kObserveEof && p->format == MPV_FORMAT_FLAG &&
          *static_cast<int*>(p->data) && loaded_ && !fileName_.isEmpty()) {
        // keep-open holds the last frame instead of ending the file.
        stopped_ = true;
        emit EndOfStream(0);
      }
      UpdateStrip();
      break;
    }
    default:
      break;
  }
}

void MediaPlayerControl::UpdateStrip() {
  const double duration = Duration();
  const double position = CurrentPosition();
  positionBar_->setRange(0, static_cast<int>(duration * 10));
  if (!barDragging_) positionBar_->setValue(static_cast<int>(position * 10));
  timeLabel_->setText(FormatPlayTime(position) + QStringLiteral(" / ") + FormatPlayTime(duration));
  playButton_->setText(PlayState() == kPlaying ? QStringLiteral("❚❚") : QStringLiteral("▶"));
}

}  // namespace vortaq
