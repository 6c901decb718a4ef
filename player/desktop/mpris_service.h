// MPRIS2 on the session bus: the desktop's own now-playing broadcast and
// remote control (playerctl, desktop media keys and applets).
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>

namespace vortaq {

// Title and artist as MPRIS shows them: the tag plug-in's when it gave any,
// else the engine's, else the file name as title.
struct TrackNames {
  QString title, artist;
};
TrackNames ChooseTrackNames(const QString& tagTitle, const QString& tagArtist, const QString& engineTitle,
                            const QString& engineArtist, const QString& path);

class MprisService : public QObject {
  Q_OBJECT
 public:
  enum class Status { Stopped, Playing, Paused };

  explicit MprisService(QObject* parent = nullptr);
  ~MprisService() override;

  // Takes org.mpris.MediaPlayer2.vortaq, or ...vortaq.instance<pid> when a
  // running instance holds it. Returns the name taken, "" when there is no bus.
  QString Register(const QDBusConnection& bus = QDBusConnection::sessionBus());
  void Unregister();
  QString busName() const { return busName_; }

  // Asked whenever a client reads Position (microseconds).
  void SetPositionSource(std::function<qint64()> source) { position_ = std::move(source); }
  // A new track: path (or URL), names and length in microseconds (0 when unknown).
  void SetTrack(const QString& path, const QString& title, const QString& artist, qint64 lengthUs);
  // Names that arrived after the track was set (the tags are read later).
  void SetNames(const QString& title, const QString& artist);
  // The length, once the engine knows it.
  void SetLength(qint64 lengthUs);
  void ClearTrack();
  void SetStatus(Status status);
  void SetVolume(double volume);  // 0..1
  void SetCapabilities(bool canGoNext, bool canGoPrevious, bool canSeek);
  // A jump in position that was not the normal flow of playback.
  void NotifySeeked(qint64 positionUs);

  // What the adaptors read.
  QString statusText() const;
  QVariantMap metadata() const { return metadata_; }
  qint64 position() const { return position_ ? position_() : 0; }
  double volume() const { return volume_; }
  bool hasTrack() const { return !metadata_.isEmpty(); }
  bool canGoNext() const { return canGoNext_; }
  bool canGoPrevious() const { return canGoPrevious_; }
  bool canSeek() const { return canSeek_ && hasTrack(); }
  qint64 length() const { return length_; }
  QString trackId() const { return trackId_; }

 signals:
  void RaiseRequested();
  void QuitRequested();
  void PlayRequested();
  void PauseRequested();
  void PlayPauseRequested();
  void StopRequested();
  void NextRequested();
  void PreviousRequested();
  // Absolute position in microseconds, already checked against the track.
  void PositionRequested(qint64 positionUs);
  void OpenUriRequested(const QString& uri);
  void VolumeRequested(double volume);
  // The D-Bus signal Seeked (relayed by the player adaptor).
  void Seeked(qint64 positionUs);

 private:
  friend class MprisPlayerAdaptor;
  void Changed(const QString& interface, const QVariantMap& properties);
  void RequestSeek(qint64 offsetUs);
  void RequestPosition(const QString& trackId, qint64 positionUs);
  void UpdateMetadata();

  QDBusConnection bus_{QString()};
  QString busName_;
  std::function<qint64()> position_;
  Status status_ = Status::Stopped;
  QVariantMap metadata_;
  QString path_, title_, artist_, trackId_;
  qint64 length_ = 0;
  quint64 trackSerial_ = 0;
  double volume_ = 1.0;
  bool canGoNext_ = false, canGoPrevious_ = false, canSeek_ = false;
};

}  // namespace vortaq
