#include "media_player_control.h"

#include <mpv/client.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <malloc.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <functional>

#include "engine_values.h"
#include "local_path.h"
#include "mpv_video_surface.h"

namespace vortaq {

namespace {

// Observed properties and asynchronous replies, told apart by their user data.
enum : uint64_t {
  kObserveEof = 1,
  kObserveTime,
  kObserveDuration,
  kObservePause,
  kObserveVideoParams,
  kReplyVideoTrack,      // + load serial << 8
  kReplyLoad,            // + load serial << 8
  kReplyKindMask = 0xFF,
};

void Wakeup(void* control) {
  // Runs on an engine thread: hand the draining to the GUI thread once.
  QMetaObject::invokeMethod(static_cast<MediaPlayerControl*>(control), "DrainEvents",
                            Qt::QueuedConnection);
}

void SetOption(mpv_handle* mpv, const char* name, const QString& value) {
  mpv_set_option_string(mpv, name, value.toUtf8().constData());
}

const mpv_node* MapValue(const mpv_node& map, const char* key) {
  if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list) return nullptr;
  for (int i = 0; i < map.u.list->num; ++i)
    if (std::strcmp(map.u.list->keys[i], key) == 0) return &map.u.list->values[i];
  return nullptr;
}

int64_t IntValue(const mpv_node* node) {
  return node && node->format == MPV_FORMAT_INT64 ? node->u.int64 : 0;
}

}  // namespace

// Seeks where it is clicked, as players do, and steps by the seek step on the
// wheel; a drag seeks when the handle is let go.
class PositionBar : public QSlider {
 public:
  PositionBar(QWidget* parent, std::function<void(double)> seek, std::function<int()> step)
      : QSlider(Qt::Horizontal, parent), seek_(std::move(seek)), step_(std::move(step)) {
    connect(this, &QSlider::sliderReleased, this, [this] { seek_(value() / 10.0); });
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
  // The engine refuses to start under a locale whose decimal point is not '.'.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  bool openGL = false;
  if (!mpv_) {
    engineError_ = QStringLiteral("mpv_create failed");
  } else {
    openGL = options.videoOutput.isEmpty() && OpenGLAvailable();
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
    SetOption(mpv_, "pause", QStringLiteral("yes"));
    // The sound server lists the stream under the program's own name.
    SetOption(mpv_, "audio-client-name", QStringLiteral("Vortaq"));
    // The engine's own log, for finding where time goes (tools/measure_player.py).
    const QString log = qEnvironmentVariable("VORTAQ_ENGINE_LOG");
    if (!log.isEmpty()) SetOption(mpv_, "log-file", log);
    const int status = mpv_initialize(mpv_);
    if (status < 0) {
      engineError_ = QStringLiteral("mpv_initialize: ") + QString::fromUtf8(mpv_error_string(status));
      mpv_terminate_destroy(mpv_);
      mpv_ = nullptr;
      openGL = false;
    }
  }
  if (mpv_) {
    mpv_observe_property(mpv_, kObserveEof, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, kObserveTime, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, kObserveDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, kObservePause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, kObserveVideoParams, "video-params", MPV_FORMAT_NODE);
    mpv_set_wakeup_callback(mpv_, Wakeup, this);
  }

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
  if (!mpv_) return;
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  // The render context must go before the engine does.
  delete surface_;
  surface_ = nullptr;
  mpv_terminate_destroy(mpv_);
}

void MediaPlayerControl::Command(std::initializer_list<QByteArray> args, uint64_t reply) {
  if (!mpv_) return;
  std::vector<const char*> argv;
  for (const QByteArray& a : args) argv.push_back(a.constData());
  argv.push_back(nullptr);
  mpv_command_async(mpv_, reply, argv.data());
}

void MediaPlayerControl::SetPause(bool on) {
  paused_ = on;  // the observed value confirms it
  if (!mpv_) return;
  int value = on ? 1 : 0;
  mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &value);
}

void MediaPlayerControl::SeekTo(double seconds) {
  timePos_ = seconds;
  eofReached_ = false;
  Command({"seek", QByteArray::number(seconds, 'f', 3), "absolute+exact"});
}

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
    loaded_ = false;
    stopped_ = true;
    currentEntry_ = -1;
    ++loadSerial_;  // a reply still on its way belongs to no load now
    imageWidth_ = imageHeight_ = 0;
    timePos_ = duration_ = 0;
    Command({"stop"});
    SetOpenState(kClosed);
    UpdateStrip();
    return;
  }
  fileName_ = path;
  loaded_ = false;
  stopped_ = !autoStart_;
  loadPaused_ = !autoStart_;
  pendingSeek_ = -1;
  imageWidth_ = imageHeight_ = 0;
  timePos_ = duration_ = 0;
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
  if (!mpv_) {
    stopped_ = true;
    const QString path = fileName_;
    const QString detail = engineError_;
    QTimer::singleShot(0, this, [this, detail, path] { emit Error(detail, path); });
    return;
  }
  SetPause(loadPaused_ || rate_ <= 0);
  const uint64_t serial = ++loadSerial_;
  currentEntry_ = -1;
  loadPaths_.insert(serial, fileName_);
  Command({"loadfile", LocalFromPath(fileName_), "replace"}, kReplyLoad | serial << 8);
}

void MediaPlayerControl::SetPlayCount(int count) {
  const char* value = count == 0 ? "inf" : "no";
  if (mpv_) mpv_set_property_async(mpv_, 0, "loop-file", MPV_FORMAT_STRING, &value);
}

double MediaPlayerControl::CurrentPosition() const {
  if (fileName_.isEmpty()) return 0;
  if (!loaded_) return pendingSeek_ > 0 ? pendingSeek_ : 0;
  return timePos_;
}

void MediaPlayerControl::SetCurrentPosition(double seconds) {
  if (fileName_.isEmpty() || !std::isfinite(seconds)) return;
  if (seconds < 0) seconds = 0;
  if (!loaded_) {
    pendingSeek_ = seconds;  // taken up once the file is loaded
    return;
  }
  SeekTo(seconds);
}

double MediaPlayerControl::Duration() const {
  if (!loaded_) return 0;
  return std::isfinite(duration_) && duration_ > 0 ? duration_ : 0;
}

void MediaPlayerControl::SetRate(double rate) {
  if (!std::isfinite(rate)) return;
  const bool wasZero = rate_ <= 0;
  rate_ = rate;
  if (rate <= 0) {
    SetPause(true);
    return;
  }
  double speed = std::clamp(rate, 0.01, 100.0);
  if (mpv_) mpv_set_property_async(mpv_, 0, "speed", MPV_FORMAT_DOUBLE, &speed);
  if (wasZero && !stopped_ && loaded_) SetPause(false);
}

void MediaPlayerControl::SetVolume(int attenuation) {
  volume_ = attenuation;
  double percent = MpvVolumeFromAttenuation(attenuation);
  if (mpv_) mpv_set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &percent);
}

void MediaPlayerControl::SetBalance(int balance) {
  balance_ = std::clamp(balance, -10000, 10000);
  ApplyBalance();
}

void MediaPlayerControl::ApplyBalance() {
  // The engine has no balance property: a labelled filter is replaced.
  Command({"af", "remove", "@bal"});
  const QByteArray filter = BalanceFilter(balance_).toUtf8();
  if (!filter.isEmpty()) Command({"af", "add", filter});
}

void MediaPlayerControl::SetDisplaySize(int size) {
  const int value = size == kFullScreen ? kFullScreen : kDefaultSize;
  if (value == displaySize_) return;
  displaySize_ = value;
  emit DisplaySizeChange(value);
}

int MediaPlayerControl::PlayState() const {
  if (fileName_.isEmpty() || stopped_) return kStopped;
  return paused_ ? kPaused : kPlaying;
}

void MediaPlayerControl::Play() {
  if (fileName_.isEmpty()) return;
  if (loaded_ && eofReached_) SeekTo(0);
  stopped_ = false;
  loadPaused_ = false;
  if (rate_ > 0) SetPause(false);
  UpdateStrip();
}

void MediaPlayerControl::Pause() {
  if (fileName_.isEmpty()) return;
  SetPause(true);
  UpdateStrip();
}

void MediaPlayerControl::Stop() {
  if (fileName_.isEmpty()) return;
  // Stopped keeps the file at position 0, as keep-open allows.
  SetPause(true);
  stopped_ = true;
  if (loaded_) SeekTo(0);
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
    case MPV_EVENT_COMMAND_REPLY: {
      const uint64_t kind = event.reply_userdata & kReplyKindMask;
      if (kind == kReplyLoad) {
        const auto* reply = static_cast<mpv_event_command*>(event.data);
        HandleLoadReply(event.reply_userdata >> 8, event.error, reply->result);
      }
      break;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY: {
      if ((event.reply_userdata & kReplyKindMask) != kReplyVideoTrack) break;
      if ((event.reply_userdata >> 8) != loadSerial_ || !loaded_) break;
      const auto* p = static_cast<mpv_event_property*>(event.data);
      const bool video = event.error >= 0 && p->format == MPV_FORMAT_INT64 &&
                         *static_cast<int64_t*>(p->data) > 0;
      // Without a picture track no reconfiguration will bring a size.
      if (!video) SetOpenState(kOpen);
      break;
    }
    case MPV_EVENT_FILE_LOADED:
      // The entry that was started last is the one that loaded.
      loadedEntry_ = startedEntry_;
      if (currentEntry_ >= 0 && loadedEntry_ == currentEntry_) CurrentLoaded();
      break;
    case MPV_EVENT_START_FILE:
      startedEntry_ = static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id;
      break;
    case MPV_EVENT_END_FILE: {
      const auto* end = static_cast<mpv_event_end_file*>(event.data);
      HandleEnd(end->playlist_entry_id, end->reason, end->error);
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
      HandleProperty(event.reply_userdata, event.data);
      break;
    default:
      break;
  }
}

void MediaPlayerControl::HandleLoadReply(uint64_t serial, int error, const mpv_node& result) {
  const QString path = loadPaths_.take(serial);
  const int64_t entry = error >= 0 ? IntValue(MapValue(result, "playlist_entry_id")) : -1;
  if (entry <= 0) {
    // The engine refused the request itself.
    if (serial == loadSerial_ && !fileName_.isEmpty()) {
      stopped_ = true;
      const QString detail = QString::fromUtf8(mpv_error_string(error < 0 ? error : MPV_ERROR_LOADING_FAILED));
      QTimer::singleShot(0, this, [this, detail, path] { emit Error(detail, path); });
    }
    return;
  }
  entryPaths_.insert(entry, path);
  if (serial == loadSerial_ && !fileName_.isEmpty()) {
    currentEntry_ = entry;
    if (loadedEntry_ == entry) CurrentLoaded();
  }
  if (earlyEnds_.contains(entry)) {
    const EarlyEnd e = earlyEnds_.take(entry);
    HandleEnd(entry, e.reason, e.error);
  }
}

void MediaPlayerControl::CurrentLoaded() {
  if (loaded_ || fileName_.isEmpty()) return;
  loaded_ = true;
  // What the previous file's decoders freed goes back to the system once the
  // new one runs (later, so that it costs the first frame nothing).
  QTimer::singleShot(3000, this, [] { malloc_trim(0); });
  eofReached_ = false;
  if (pendingSeek_ >= 0) {
    SeekTo(pendingSeek_);
    pendingSeek_ = -1;
  }
  if (stopped_ && !loadPaused_) stopped_ = false;
  if (imageWidth_ > 0 && imageHeight_ > 0) SetOpenState(kOpen);
  else mpv_get_property_async(mpv_, kReplyVideoTrack | loadSerial_ << 8, "current-tracks/video/id",
                              MPV_FORMAT_INT64);
  UpdateStrip();
}

void MediaPlayerControl::HandleEnd(int64_t entry, int reason, int error) {
  if (!entryPaths_.contains(entry)) {
    // The reply naming this entry is still on its way.
    if (!loadPaths_.isEmpty()) earlyEnds_.insert(entry, {reason, error});
    return;
  }
  const QString path = entryPaths_.take(entry);
  const bool current = entry == currentEntry_ && !fileName_.isEmpty();
  if (reason == MPV_END_FILE_REASON_ERROR) {
    if (current) {
      stopped_ = true;
      loaded_ = false;
    }
    // Every load that failed is reported under its own path, after this drain.
    const QString detail = QString::fromUtf8(mpv_error_string(error));
    QTimer::singleShot(0, this, [this, detail, path] { emit Error(detail, path); });
  } else if (reason == MPV_END_FILE_REASON_EOF && current) {
    stopped_ = true;
    emit EndOfStream(0);
  }
  if (current) UpdateStrip();
}

void MediaPlayerControl::HandleProperty(uint64_t id, const void* data) {
  const auto* p = static_cast<const mpv_event_property*>(data);
  const bool has = p->format != MPV_FORMAT_NONE && p->data;
  switch (id) {
    case kObserveTime:
      timePos_ = has && p->format == MPV_FORMAT_DOUBLE ? *static_cast<double*>(p->data) : 0;
      break;
    case kObserveDuration:
      duration_ = has && p->format == MPV_FORMAT_DOUBLE ? *static_cast<double*>(p->data) : 0;
      break;
    case kObservePause:
      if (has && p->format == MPV_FORMAT_FLAG) paused_ = *static_cast<int*>(p->data) != 0;
      break;
    case kObserveEof: {
      const bool eof = has && p->format == MPV_FORMAT_FLAG && *static_cast<int*>(p->data);
      const bool reached = eof && !eofReached_;
      eofReached_ = eof;
      if (reached && loaded_ && !fileName_.isEmpty()) {
        // keep-open holds the last frame instead of ending the file.
        stopped_ = true;
        emit EndOfStream(0);
      }
      break;
    }
    case kObserveVideoParams: {
      if (!has || p->format != MPV_FORMAT_NODE || fileName_.isEmpty()) {
        if (!has) imageWidth_ = imageHeight_ = 0;  // the picture went with its file
        break;
      }
      const auto* node = static_cast<const mpv_node*>(p->data);
      // The display size: anamorphic pictures are laid out as they are seen.
      int w = static_cast<int>(IntValue(MapValue(*node, "dw")));
      int h = static_cast<int>(IntValue(MapValue(*node, "dh")));
      if (w <= 0 || h <= 0) {
        w = static_cast<int>(IntValue(MapValue(*node, "w")));
        h = static_cast<int>(IntValue(MapValue(*node, "h")));
      }
      if (w <= 0 || h <= 0) break;
      const bool changed = w != imageWidth_ || h != imageHeight_;
      imageWidth_ = w;
      imageHeight_ = h;
      if (!loaded_) break;  // announced once the load is ours
      if (openState_ != kOpen) SetOpenState(kOpen);
      else if (changed) emit OpenStateChange(kOpen, kOpen);
      break;
    }
    default:
      break;
  }
  UpdateStrip();
}

void MediaPlayerControl::UpdateStrip() {
  const double duration = Duration();
  const double position = CurrentPosition();
  positionBar_->setRange(0, static_cast<int>(duration * 10));
  if (!positionBar_->isSliderDown()) positionBar_->setValue(static_cast<int>(position * 10));
  timeLabel_->setText(FormatPlayTime(position) + QStringLiteral(" / ") + FormatPlayTime(duration));
  playButton_->setText(PlayState() == kPlaying ? QStringLiteral("❚❚") : QStringLiteral("▶"));
}

}  // namespace vortaq
