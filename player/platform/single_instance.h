// One running instance per user, and the hand-over of a file to it: a local
// socket named after the instance "mutex", in a folder only the user can
// enter. The message is the tag 9682, the byte length and the UTF-16 path.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace vortaq {

constexpr quint32 kHandOverTag = 9682;
// A path longer than this is no path: the receiver refuses it unread.
constexpr quint32 kHandOverMaxBytes = 64 * 1024;

// $XDG_RUNTIME_DIR/name, else name in a 0700 folder of ours under /tmp.
QString InstanceSocketPath(const QString& name);

QByteArray EncodeHandOver(const QString& path, quint32 tag = kHandOverTag);

enum class HandOverParse { kIncomplete, kComplete, kInvalid };
// kComplete with *tag and *path once the whole message is in data.
HandOverParse DecodeHandOver(const QByteArray& data, quint32* tag, QString* path);

// Whether an instance listens under name. A socket file that nobody answers
// on (left by a crash) is removed.
bool InstanceRunning(const QString& name);

// Sends path to the instance listening under name and waits (up to timeoutMs)
// until it has opened the file. False when nobody answered.
bool SendHandOver(const QString& name, const QString& path, int timeoutMs = 30000);

// The running instance's end.
class InstanceServer : public QObject {
  Q_OBJECT
 public:
  // Called with every handed-over path; the sender is answered once it returns.
  using Handler = std::function<void(const QString& path)>;
  explicit InstanceServer(Handler handler, QObject* parent = nullptr);
  ~InstanceServer() override;
  bool Listen(const QString& name);
  void Close();

 private:
  void Accept();

  Handler handler_;
  QLocalServer* server_ = nullptr;
};

}  // namespace vortaq
