#include "file_properties.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QDialog>
#include <QFileInfo>
#include <QLocale>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "local_path.h"

namespace vortaq {

namespace {

const QString kManager = QStringLiteral("org.freedesktop.FileManager1");

}  // namespace

bool AskFileManager(const QString& path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kManager))
    return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      kManager, QStringLiteral("/org/freedesktop/FileManager1"), kManager, QStringLiteral("ShowItems"));
  call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())} << QString();
  bus.call(call, QDBus::NoBlock);
  return true;
}

QString PropertiesText(const QString& path, const QString& report) {
  const QFileInfo info(path);
  const QFileDevice::Permissions p = info.permissions();
  QString mode;
  const std::pair<QFileDevice::Permission, char> bits[] = {
      {QFileDevice::ReadOwner, 'r'}, {QFileDevice::WriteOwner, 'w'}, {QFileDevice::ExeOwner, 'x'},
      {QFileDevice::ReadGroup, 'r'}, {QFileDevice::WriteGroup, 'w'}, {QFileDevice::ExeGroup, 'x'},
      {QFileDevice::ReadOther, 'r'}, {QFileDevice::WriteOther, 'w'}, {QFileDevice::ExeOther, 'x'}};
  for (const auto& [bit, c] : bits) mode += QLatin1Char(p.testFlag(bit) ? c : '-');
  const auto date = [](const QDateTime& t) {
    return t.isValid() ? t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QStringLiteral("-");
  };
  return QStringLiteral("パス: %1\nサイズ: %2 バイト\n作成日時: %3\n更新日時: %4\nアクセス日時: %5\n"
                        "アクセス権: %6 (%7:%8)\n\n%9")
      .arg(DisplayPath(path), QLocale(QLocale::English).toString(info.size()), date(info.birthTime()),
           date(info.lastModified()), date(info.lastRead()), mode, info.owner(), info.group(), report);
}

void ShowPropertiesWindow(const QString& path, const QString& report, QWidget* owner) {
  auto* dialog = new QDialog(owner, Qt::Window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("Properties"));
  dialog->setWindowTitle(QStringLiteral("プロパティ"));
  auto* view = new QPlainTextEdit(PropertiesText(path, report), dialog);
  view->setReadOnly(true);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(view);
  dialog->resize(560, 420);
  dialog->show();
}

}  // namespace vortaq
