#include "now_playing_session.h"

#include "desktop_texts.h"

namespace vortaq {

NowPlayingSession::NowPlayingSession(std::unique_ptr<MessengerTransport> transport, QObject* parent)
    : QObject(parent), transport_(std::move(transport)), broadcast_(transport_.get()) {}

NowPlayingSession::~NowPlayingSession() = default;

QList<DesktopMessage> NowPlayingSession::Start(bool watrack, bool msn, bool skype,
                                               const QStringList& tagCandidates) {
  QList<DesktopMessage> messages;
  if (watrack && !watrack_) watrack_ = CreateWatrackWindow();
  broadcast_.SetMsn(msn);
  if (skype) {
    const QString error = broadcast_.SetSkype(true);
    if (!error.isEmpty()) messages.append({error, QString::fromUtf16(texts::kSkypeCaption)});
  }
  if (broadcast_.active() && !tags_) {
    auto tags = std::make_shared<Mp3Infp>();
    const QString error = tags->Bind(tagCandidates);
    if (error.isEmpty()) {
      tags_ = tags;
      broadcast_.SetTagsBound(true);
      reader_ = std::make_unique<TagReader>(tags_);
      connect(reader_.get(), &TagReader::ValuesRead, this, &NowPlayingSession::OnValues);
    } else {
      messages.append({error, QString::fromUtf16(texts::kTagsCaption)});
    }
  }
  return messages;
}

void NowPlayingSession::Opened(const QString& path) {
  if (!broadcast_.active()) return;
  broadcast_.Clear();
  if (!reader_) return;
  pendingPath_ = path;
  reader_->Request(path);
}

void NowPlayingSession::Closed() {
  if (reader_) reader_->Cancel();
  pendingPath_.clear();
  if (broadcast_.active()) broadcast_.Clear();
}

void NowPlayingSession::Shutdown() {
  if (reader_) reader_->Cancel();
  pendingPath_.clear();
  if (broadcast_.active()) broadcast_.Clear();
  broadcast_.SetSkype(false);
  broadcast_.SetMsn(false);
  broadcast_.SetTagsBound(false);
  // A read still under way keeps the plug-in loaded until it returns.
  reader_.reset();
  tags_.reset();
  watrack_.reset();
}

void NowPlayingSession::OnValues(const QString& path, const TagValues& values) {
  pendingPath_.clear();
  broadcast_.Send(values, tags_ && tags_->unicode());
  emit TagsRead(path, values);
}

}  // namespace vortaq
