#include "mpv_engine.h"

#include <malloc.h>
#include <mpv/client.h>

#include <QTimer>
#include <clocale>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "local_path.h"

namespace vortaq {

namespace {

// Observed properties and asynchronous replies, told apart by their user data.
enum : uint64_t {
  kObserveEof = 1,
  kObserveTime,
  kObserveDuration,
  kObservePause,
  kObservePicture,
  kObserveMetadata,
  kReplyVideoTrack,  // + load serial << 8
  kReplyLoad,        // + load serial << 8
  kReplySeekPosition,  // + load serial << 8
  kReplyKindMask = 0xFF,
};

void Wakeup(void* engine) {
  // Runs on an engine thread: hand the draining to the GUI thread once.
  QMetaObject::invokeMethod(static_cast<MpvEngine*>(engine), "DrainEvents", Qt::QueuedConnection);
}

// What the player always runs the engine with: no configuration of the
// user's mpv, keep-open for the designed Stop, no cover art as a picture,
// loaded paused until told otherwise.
constexpr std::pair<const char*, const char*> kFixedOptions[] = {
    {"config", "no"},
    {"terminal", "no"},
    {"idle", "yes"},
    {"keep-open", "yes"},
    {"audio-display", "no"},
    {"input-default-bindings", "no"},
    {"osc", "no"},
    {"ytdl", "no"},
    {"volume-max", "100"},
    {"loop-file", "no"},
    {"pause", "yes"},
    // Only the option "実行中はスクリーンセーバー停止" keeps the screen awake.
    {"stop-screensaver", "no"},
    // The sound server lists the stream under the program's own name.
    {"audio-client-name", "Vortaq"},
};

void SetOption(mpv_handle* mpv, const char* name, const QString& value) {
  mpv_set_option_string(mpv, name, value.toUtf8().constData());
}

const mpv_node* MapValue(const mpv_node& map, const char* key) {
  if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list) return nullptr;
  for (int i = 0; i < map.u.list->num; ++i)
    if (std::strcmp(map.u.list->keys[i], key) == 0) return &map.u.list->values[i];
  return nullptr;
}

// Tag keys keep the case the file gave them ("title", "TITLE", "Title").
QString TextValue(const mpv_node& map, const char* key) {
  if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list) return {};
  for (int i = 0; i < map.u.list->num; ++i) {
    const mpv_node& value = map.u.list->values[i];
    if (qstricmp(map.u.list->keys[i], key) == 0 && value.format == MPV_FORMAT_STRING && value.u.string)
      return QString::fromUtf8(value.u.string);
  }
  return {};
}

int64_t IntValue(const mpv_node* node) {
  return node && node->format == MPV_FORMAT_INT64 ? node->u.int64 : 0;
}

}  // namespace

MpvEngine::MpvEngine(const EngineOptions& options, bool renderApi, QObject* parent)
    : QObject(parent) {
  // The engine refuses to start under a locale whose decimal point is not '.'.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) {
    error_ = QStringLiteral("mpv_create failed");
    return;
  }
  QString vo = options.videoOutput.isEmpty() ? QStringLiteral("null") : options.videoOutput;
  if (renderApi) vo = QStringLiteral("libmpv");
  SetOption(mpv_, "vo", vo);
  if (!options.audioOutput.isEmpty()) SetOption(mpv_, "ao", options.audioOutput);
  if (options.untimed) SetOption(mpv_, "untimed", QStringLiteral("yes"));
  for (const auto& [name, value] : kFixedOptions) mpv_set_option_string(mpv_, name, value);
  // The engine's own log, for finding where time goes (tools/measure_player.py).
  const QString log = qEnvironmentVariable("VORTAQ_ENGINE_LOG");
  if (!log.isEmpty()) SetOption(mpv_, "log-file", log);
  const int status = mpv_initialize(mpv_);
  if (status < 0) {
    error_ = QStringLiteral("mpv_initialize: ") + QString::fromUtf8(mpv_error_string(status));
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return;
  }
  mpv_observe_property(mpv_, kObserveEof, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kObserveTime, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mpv_, kObserveDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mpv_, kObservePause, "pause", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kObservePicture, "video-params", MPV_FORMAT_NODE);
  mpv_observe_property(mpv_, kObserveMetadata, "metadata", MPV_FORMAT_NODE);
  mpv_set_wakeup_callback(mpv_, Wakeup, this);
}

MpvEngine::~MpvEngine() {
  if (!mpv_) return;
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  mpv_terminate_destroy(mpv_);
}

void MpvEngine::Command(std::initializer_list<QByteArray> args, uint64_t reply) {
  if (!mpv_) return;
  std::vector<const char*> argv;
  for (const QByteArray& a : args) argv.push_back(a.constData());
  argv.push_back(nullptr);
  mpv_command_async(mpv_, reply, argv.data());
}

void MpvEngine::PostFailure(const QString& detail, const QString& path) {
  QTimer::singleShot(0, this, [this, detail, path] { emit LoadFailed(detail, path); });
}

void MpvEngine::Load(const QString& path, bool paused) {
  loaded_ = false;
  loadCurrent_ = true;
  currentEntry_ = -1;
  timePos_ = duration_ = 0;
  eofReached_ = false;
  pictureWidth_ = pictureHeight_ = 0;
  const uint64_t serial = ++loadSerial_;
  if (!mpv_) {
    PostFailure(error_, path);
    return;
  }
  SetPause(paused);
  loadPaths_.insert(serial, path);
  Command({"loadfile", LocalFromPath(path), "replace"}, kReplyLoad | serial << 8);
}

void MpvEngine::Unload() {
  loaded_ = false;
  loadCurrent_ = false;  // a reply still on its way belongs to no load now
  currentEntry_ = -1;
  timePos_ = duration_ = 0;
  pictureWidth_ = pictureHeight_ = 0;
  Command({"stop"});
}

void MpvEngine::SeekTo(double seconds) {
  timePos_ = seconds;  // the observed value confirms it
  eofReached_ = false;
  Command({"seek", QByteArray::number(seconds, 'f', 3), "absolute+exact"});
}

void MpvEngine::SetPause(bool on) {
  paused_ = on;
  if (!mpv_) return;
  int value = on ? 1 : 0;
  mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &value);
}

void MpvEngine::SetSpeed(double speed) {
  if (mpv_) mpv_set_property_async(mpv_, 0, "speed", MPV_FORMAT_DOUBLE, &speed);
}

void MpvEngine::SetVolumePercent(double percent) {
  if (mpv_) mpv_set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &percent);
}

void MpvEngine::SetBalanceFilter(const QByteArray& filter) {
  // The engine has no balance property: a labelled filter is replaced.
  Command({"af", "remove", "@bal"});
  if (!filter.isEmpty()) Command({"af", "add", filter});
}

void MpvEngine::SetLoopFile(bool endless) {
  const char* value = endless ? "inf" : "no";
  if (mpv_) mpv_set_property_async(mpv_, 0, "loop-file", MPV_FORMAT_STRING, &value);
}

void MpvEngine::SetMute(bool on) {
  muted_ = on;
  int value = on ? 1 : 0;
  if (mpv_) mpv_set_property_async(mpv_, 0, "mute", MPV_FORMAT_FLAG, &value);
}

void MpvEngine::FrameStep(int direction) {
  if (!loaded_) return;
  paused_ = true;  // a frame step leaves the engine paused
  Command({direction < 0 ? "frame-back-step" : "frame-step"});
}

void MpvEngine::SetStopScreenSaver(bool on) {
  const char* value = on ? "yes" : "no";
  if (mpv_) mpv_set_property_async(mpv_, 0, "stop-screensaver", MPV_FORMAT_STRING, &value);
}

void MpvEngine::DrainEvents() {
  while (mpv_) {
    mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    HandleEvent(*event);
  }
}

void MpvEngine::HandleEvent(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
      if ((event.reply_userdata & kReplyKindMask) == kReplyLoad) {
        const auto* reply = static_cast<mpv_event_command*>(event.data);
        HandleLoadReply(event.reply_userdata >> 8, event.error, reply->result);
      }
      break;
    case MPV_EVENT_GET_PROPERTY_REPLY: {
      if ((event.reply_userdata >> 8) != loadSerial_ || !loaded_) break;
      const auto* p = static_cast<mpv_event_property*>(event.data);
      if ((event.reply_userdata & kReplyKindMask) == kReplySeekPosition) {
        if (event.error >= 0 && p->format == MPV_FORMAT_DOUBLE) emit Seeked(*static_cast<double*>(p->data));
        break;
      }
      if ((event.reply_userdata & kReplyKindMask) != kReplyVideoTrack) break;
      const bool video = event.error >= 0 && p->format == MPV_FORMAT_INT64 &&
                         *static_cast<int64_t*>(p->data) > 0;
      if (!video) emit NoPicture();
      break;
    }
    case MPV_EVENT_START_FILE:
      startedEntry_ = static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id;
      break;
    case MPV_EVENT_FILE_LOADED:
      // The entry that was started last is the one that loaded.
      loadedEntry_ = startedEntry_;
      if (currentEntry_ >= 0 && loadedEntry_ == currentEntry_) CurrentLoaded();
      break;
    case MPV_EVENT_END_FILE: {
      const auto* end = static_cast<mpv_event_end_file*>(event.data);
      HandleEnd(end->playlist_entry_id, end->reason, end->error);
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
      HandleProperty(event.reply_userdata, event.data);
      break;
    case MPV_EVENT_SEEK:
      seeking_ = true;
      break;
    case MPV_EVENT_PLAYBACK_RESTART:
      // Asked after the restart, so the answer is where the seek landed.
      if (seeking_ && loaded_ && loadCurrent_)
        mpv_get_property_async(mpv_, kReplySeekPosition | loadSerial_ << 8, "time-pos", MPV_FORMAT_DOUBLE);
      seeking_ = false;
      break;
    default:
      break;
  }
}

void MpvEngine::HandleLoadReply(uint64_t serial, int error, const mpv_node& result) {
  const QString path = loadPaths_.take(serial);
  const bool current = serial == loadSerial_ && loadCurrent_;
  const int64_t entry = error >= 0 ? IntValue(MapValue(result, "playlist_entry_id")) : -1;
  if (entry <= 0) {
    // The engine refused the request itself.
    PostFailure(QString::fromUtf8(mpv_error_string(error < 0 ? error : MPV_ERROR_LOADING_FAILED)),
                path);
    return;
  }
  entryPaths_.insert(entry, path);
  if (current) {
    currentEntry_ = entry;
    if (loadedEntry_ == entry) CurrentLoaded();
  }
  if (earlyEnds_.contains(entry)) {
    const EarlyEnd e = earlyEnds_.take(entry);
    HandleEnd(entry, e.reason, e.error);
  }
}

void MpvEngine::CurrentLoaded() {
  if (loaded_) return;
  loaded_ = true;
  eofReached_ = false;
  // What the previous file's decoders freed goes back to the system once the
  // new one runs (later, so that it costs the first frame nothing).
  QTimer::singleShot(3000, this, [] { malloc_trim(0); });
  if (pictureWidth_ <= 0 || pictureHeight_ <= 0)
    mpv_get_property_async(mpv_, kReplyVideoTrack | loadSerial_ << 8, "current-tracks/video/id",
                           MPV_FORMAT_INT64);
  emit Loaded();
}

void MpvEngine::HandleEnd(int64_t entry, int reason, int error) {
  if (!entryPaths_.contains(entry)) {
    // The reply naming this entry is still on its way.
    if (!loadPaths_.isEmpty()) earlyEnds_.insert(entry, {reason, error});
    return;
  }
  const QString path = entryPaths_.take(entry);
  const bool current = entry == currentEntry_ && loadCurrent_;
  if (reason == MPV_END_FILE_REASON_ERROR) {
    // Every load that failed is reported under its own path.
    if (current) loaded_ = false;
    PostFailure(QString::fromUtf8(mpv_error_string(error)), path);
    if (current) emit StateChanged();
  } else if (reason == MPV_END_FILE_REASON_EOF && current) {
    emit Ended();
  }
}

void MpvEngine::HandleProperty(uint64_t id, const void* data) {
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
      // keep-open holds the last frame instead of ending the file.
      if (reached && loaded_ && loadCurrent_) emit Ended();
      break;
    }
    case kObservePicture: {
      if (!has || p->format != MPV_FORMAT_NODE || !loadCurrent_) {
        if (!has) pictureWidth_ = pictureHeight_ = 0;  // the picture went with its file
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
      if (w <= 0 || h <= 0 || (w == pictureWidth_ && h == pictureHeight_)) break;
      pictureWidth_ = w;
      pictureHeight_ = h;
      if (loaded_) emit PictureChanged();  // else announced with the load
      break;
    }
    case kObserveMetadata: {
      QString title, artist;
      if (has && p->format == MPV_FORMAT_NODE && loadCurrent_) {
        const auto* node = static_cast<const mpv_node*>(p->data);
        title = TextValue(*node, "title");
        artist = TextValue(*node, "artist");
      }
      if (title == metadataTitle_ && artist == metadataArtist_) break;
      metadataTitle_ = title;
      metadataArtist_ = artist;
      emit MetadataChanged();
      break;
    }
    default:
      break;
  }
  emit StateChanged();
}

}  // namespace vortaq
