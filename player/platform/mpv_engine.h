// The client of the playback engine (libmpv): the options the player runs it
// with, what it is asked to do, and what it says back. The GUI thread never
// waits on it: observed properties arrive with its events and are read from a
// cache here, every command and write is asynchronous, and each load is told
// apart from the others by the entry id that the engine's reply names.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <initializer_list>

struct mpv_handle;
struct mpv_event;
struct mpv_node;

namespace vortaq {

struct EngineOptions {
  QString videoOutput;  // empty: the render API when OpenGL works, else "null"
  QString audioOutput;  // empty: the engine's choice
  bool untimed = false; // decode as fast as possible (tests)
};

class MpvEngine : public QObject {
  Q_OBJECT
 public:
  // renderApi: the picture goes through the render API (a surface of ours).
  MpvEngine(const EngineOptions& options, bool renderApi, QObject* parent = nullptr);
  ~MpvEngine() override;

  mpv_handle* handle() const { return mpv_; }
  // Why the engine could not be started; empty when it runs.
  QString error() const { return error_; }

  // Replaces whatever plays with path, paused or not.
  void Load(const QString& path, bool paused);
  void Unload();
  void SeekTo(double seconds);
  void SetPause(bool on);
  void SetSpeed(double speed);
  void SetVolumePercent(double percent);
  void SetBalanceFilter(const QByteArray& filter);  // empty: none
  void SetLoopFile(bool endless);
  void SetMute(bool on);
  // One picture forward (1) or back (-1), paused there.
  void FrameStep(int direction);
  // The engine's own screen saver switch, alongside ours on the session bus.
  void SetStopScreenSaver(bool on);

  // The observed state.
  bool loaded() const { return loaded_; }
  double timePos() const { return timePos_; }
  double duration() const { return duration_; }
  bool paused() const { return paused_; }
  bool eofReached() const { return eofReached_; }
  bool muted() const { return muted_; }
  // The picture as it is seen (anamorphic pictures at their display size).
  int pictureWidth() const { return pictureWidth_; }
  int pictureHeight() const { return pictureHeight_; }
  // Title and artist from the current file's tags as the engine reads them.
  QString metadataTitle() const { return metadataTitle_; }
  QString metadataArtist() const { return metadataArtist_; }

 signals:
  // The current load is playable; the picture size may follow.
  void Loaded();
  void PictureChanged();
  void MetadataChanged();
  // Playback went on from a new place (any seek, whoever asked for it).
  void Seeked(double seconds);
  // The current load has no picture at all.
  void NoPicture();
  // The current load played to its natural end.
  void Ended();
  // A load failed: detail is the engine's reason, path what was asked for.
  // Posted after the engine's events were handled, never from inside them.
  void LoadFailed(const QString& detail, const QString& path);
  // Some observed value changed.
  void StateChanged();

 private slots:
  void DrainEvents();

 private:
  void Command(std::initializer_list<QByteArray> args, uint64_t reply = 0);
  void HandleEvent(const mpv_event& event);
  void HandleProperty(uint64_t id, const void* property);
  void HandleLoadReply(uint64_t serial, int error, const mpv_node& result);
  void HandleEnd(int64_t entry, int reason, int error);
  void CurrentLoaded();
  void PostFailure(const QString& detail, const QString& path);

  mpv_handle* mpv_ = nullptr;
  QString error_;

  // Which engine entry answers which load: the serial of each loadfile
  // request, the entry id its reply names, and the path it was for.
  uint64_t loadSerial_ = 0;
  bool loadCurrent_ = false;     // a load is asked for and not unloaded
  int64_t currentEntry_ = -1;    // the entry of the current load, once known
  int64_t startedEntry_ = -1;    // the last entry the engine began
  int64_t loadedEntry_ = -1;     // the last entry the engine finished loading
  QHash<uint64_t, QString> loadPaths_;  // serial -> path, until answered
  QHash<int64_t, QString> entryPaths_;  // entry -> path, until it ends
  struct EarlyEnd {
    int reason, error;
  };
  QHash<int64_t, EarlyEnd> earlyEnds_;  // ends that came before their reply

  bool loaded_ = false;
  double timePos_ = 0;
  double duration_ = 0;
  bool paused_ = true;
  bool eofReached_ = false;
  bool muted_ = false;
  int pictureWidth_ = 0, pictureHeight_ = 0;
  QString metadataTitle_, metadataArtist_;
  bool seeking_ = false;
};

}  // namespace vortaq
