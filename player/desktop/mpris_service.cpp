#include "mpris_service.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <cmath>

namespace vortaq {

namespace {

const char kObjectPath[] = "/org/mpris/MediaPlayer2";
const char kRoot[] = "org.mpris.MediaPlayer2";
const char kPlayer[] = "org.mpris.MediaPlayer2.Player";

}  // namespace

TrackNames ChooseTrackNames(const QString& tagTitle, const QString& tagArtist, const QString& engineTitle,
                            const QString& engineArtist, const QString& path) {
  if (!tagTitle.isEmpty() || !tagArtist.isEmpty()) return {tagTitle, tagArtist};
  if (!engineTitle.isEmpty() || !engineArtist.isEmpty()) return {engineTitle, engineArtist};
  const QUrl url(path);
  const QString name = url.scheme().size() > 1 ? url.fileName() : QFileInfo(path).fileName();
  return {name.isEmpty() ? path : name, {}};
}

class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
 public:
  explicit MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Vortaq"); }
  QString DesktopEntry() const { return QStringLiteral("vortaq"); }
  QStringList SupportedUriSchemes() const { return {"file", "http", "https"}; }
  QStringList SupportedMimeTypes() const {
    return {"audio/mpeg",      "audio/x-wav",     "audio/flac",      "audio/ogg",       "audio/x-vorbis+ogg",
            "audio/mp4",       "audio/x-ms-wma",  "audio/x-ape",     "audio/aac",       "audio/ac3",
            "video/mp4",       "video/x-msvideo", "video/x-matroska", "video/mpeg",     "video/quicktime",
            "video/x-ms-wmv",  "video/x-flv",     "video/webm",      "video/ogg",       "video/mp2t"};
  }
 public slots:
  void Raise() { emit service_->RaiseRequested(); }
  void Quit() { emit service_->QuitRequested(); }

 private:
  MprisService* service_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)
 public:
  explicit MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {
    connect(service, &MprisService::Seeked, this, &MprisPlayerAdaptor::Seeked);
  }
  QString PlaybackStatus() const { return service_->statusText(); }
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  QVariantMap Metadata() const { return service_->metadata(); }
  double Volume() const { return service_->volume(); }
  void SetVolume(double v) {
    if (std::isfinite(v)) emit service_->VolumeRequested(std::clamp(v, 0.0, 1.0));
  }
  qlonglong Position() const { return service_->position(); }
  bool CanGoNext() const { return service_->canGoNext(); }
  bool CanGoPrevious() const { return service_->canGoPrevious(); }
  bool CanPlay() const { return service_->hasTrack(); }
  bool CanPause() const { return service_->hasTrack(); }
  bool CanSeek() const { return service_->canSeek(); }
  bool CanControl() const { return true; }

 public slots:
  void Play() { emit service_->PlayRequested(); }
  void Pause() { emit service_->PauseRequested(); }
  void PlayPause() { emit service_->PlayPauseRequested(); }
  void Stop() { emit service_->StopRequested(); }
  void Next() { emit service_->NextRequested(); }
  void Previous() { emit service_->PreviousRequested(); }
  void Seek(qlonglong offset) { service_->RequestSeek(offset); }
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    service_->RequestPosition(trackId.path(), position);
  }
  void OpenUri(const QString& uri) { emit service_->OpenUriRequested(uri); }

 signals:
  void Seeked(qlonglong Position);

 private:
  MprisService* service_;
};

MprisService::MprisService(QObject* parent) : QObject(parent) {
  new MprisRootAdaptor(this);
  new MprisPlayerAdaptor(this);
}

MprisService::~MprisService() { Unregister(); }

QString MprisService::Register(const QDBusConnection& bus) {
  Unregister();
  if (!bus.isConnected()) return {};
  bus_ = bus;
  if (!bus_.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors)) return {};
  const QString first = QStringLiteral("org.mpris.MediaPlayer2.vortaq");
  const QString second = first + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
  for (const QString& name : {first, second}) {
    const auto reply = bus_.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
      busName_ = name;
      return name;
    }
  }
  bus_.unregisterObject(QString::fromLatin1(kObjectPath));
  bus_ = QDBusConnection(QString());
  return {};
}

void MprisService::Unregister() {
  if (!bus_.isConnected()) return;
  if (!busName_.isEmpty()) bus_.unregisterService(busName_);
  bus_.unregisterObject(QString::fromLatin1(kObjectPath));
  busName_.clear();
  bus_ = QDBusConnection(QString());
}

QString MprisService::statusText() const {
  switch (status_) {
    case Status::Playing:
      return QStringLiteral("Playing");
    case Status::Paused:
      return QStringLiteral("Paused");
    case Status::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

void MprisService::UpdateMetadata() {
  QVariantMap m;
  if (!path_.isEmpty()) {
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId_)));
    m.insert(QStringLiteral("xesam:title"), title_);
    if (!artist_.isEmpty()) m.insert(QStringLiteral("xesam:artist"), QStringList{artist_});
    const QUrl url(path_);
    m.insert(QStringLiteral("xesam:url"),
             url.scheme().size() > 1 ? path_ : QUrl::fromLocalFile(path_).toString(QUrl::FullyEncoded));
    if (length_ > 0) m.insert(QStringLiteral("mpris:length"), length_);
  }
  metadata_ = m;
}

void MprisService::SetTrack(const QString& path, const QString& title, const QString& artist, qint64 lengthUs) {
  path_ = path;
  title_ = title;
  artist_ = artist;
  length_ = std::max<qint64>(0, lengthUs);
  trackId_ = QStringLiteral("/org/vortaq/track/%1").arg(++trackSerial_);
  UpdateMetadata();
  Changed(QString::fromLatin1(kPlayer), {{"Metadata", metadata_},
                                         {"CanPlay", hasTrack()},
                                         {"CanPause", hasTrack()},
                                         {"CanSeek", canSeek()}});
}

void MprisService::SetNames(const QString& title, const QString& artist) {
  if (path_.isEmpty() || (title == title_ && artist == artist_)) return;
  title_ = title;
  artist_ = artist;
  UpdateMetadata();
  Changed(QString::fromLatin1(kPlayer), {{"Metadata", metadata_}});
}

void MprisService::SetLength(qint64 lengthUs) {
  lengthUs = std::max<qint64>(0, lengthUs);
  if (path_.isEmpty() || lengthUs == length_) return;
  length_ = lengthUs;
  UpdateMetadata();
  Changed(QString::fromLatin1(kPlayer), {{"Metadata", metadata_}});
}

void MprisService::ClearTrack() {
  path_.clear();
  title_.clear();
  artist_.clear();
  length_ = 0;
  trackId_.clear();
  UpdateMetadata();
  Changed(QString::fromLatin1(kPlayer),
          {{"Metadata", metadata_}, {"CanPlay", false}, {"CanPause", false}, {"CanSeek", false}});
}

void MprisService::SetStatus(Status status) {
  if (status == status_) return;
  status_ = status;
  Changed(QString::fromLatin1(kPlayer), {{"PlaybackStatus", statusText()}});
}

void MprisService::SetVolume(double volume) {
  volume = std::clamp(volume, 0.0, 1.0);
  if (volume == volume_) return;
  volume_ = volume;
  Changed(QString::fromLatin1(kPlayer), {{"Volume", volume_}});
}

void MprisService::SetCapabilities(bool canGoNext, bool canGoPrevious, bool canSeek) {
  QVariantMap changed;
  if (canGoNext != canGoNext_) changed.insert("CanGoNext", canGoNext);
  if (canGoPrevious != canGoPrevious_) changed.insert("CanGoPrevious", canGoPrevious);
  canGoNext_ = canGoNext;
  canGoPrevious_ = canGoPrevious;
  const bool before = this->canSeek();
  canSeek_ = canSeek;
  if (before != this->canSeek()) changed.insert("CanSeek", this->canSeek());
  if (!changed.isEmpty()) Changed(QString::fromLatin1(kPlayer), changed);
}

void MprisService::NotifySeeked(qint64 positionUs) { emit Seeked(positionUs); }

void MprisService::RequestSeek(qint64 offsetUs) {
  if (!canSeek()) return;
  qint64 target = position() + offsetUs;
  if (target < 0) target = 0;
  // Past the end: the specification of MPRIS asks for the next track.
  if (length_ > 0 && target > length_) {
    emit NextRequested();
    return;
  }
  emit PositionRequested(target);
}

void MprisService::RequestPosition(const QString& trackId, qint64 positionUs) {
  if (!canSeek() || trackId != trackId_ || positionUs < 0) return;
  if (length_ > 0 && positionUs > length_) return;
  emit PositionRequested(positionUs);
}

void MprisService::Changed(const QString& interface, const QVariantMap& properties) {
  if (!bus_.isConnected() || busName_.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                   QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << interface << properties << QStringList();
  bus_.send(signal);
}

}  // namespace vortaq

#include "mpris_service.moc"
