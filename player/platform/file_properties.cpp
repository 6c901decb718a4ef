#include "file_properties.h"

#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QDialog>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "local_path.h"

namespace vortaq {

namespace {

const QString kManager = QStringLiteral("org.freedesktop.FileManager1");

QString Grouped(qint64 n) {
  QString digits = QString::number(n), out;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += QLatin1Char(',');
    out += digits[i];
  }
  return out;
}

QString Time(const struct timespec& t) {
  return QDateTime::fromSecsSinceEpoch(t.tv_sec).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

}  // namespace

QString PropertiesText(const QString& path, const QString& report) {
  QString text = QStringLiteral("場所: ") + DisplayPath(path) + QLatin1Char('\n');
  struct stat st;
  if (::stat(LocalFromPath(path).constData(), &st) == 0) {
    text += QStringLiteral("サイズ: %1 バイト\n").arg(Grouped(st.st_size));
    text += QStringLiteral("更新日時: ") + Time(st.st_mtim) + QLatin1Char('\n');
    text += QStringLiteral("アクセス日時: ") + Time(st.st_atim) + QLatin1Char('\n');
    text += QStringLiteral("状態変更日時: ") + Time(st.st_ctim) + QLatin1Char('\n');
    text += QStringLiteral("アクセス権: %1\n").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
  } else {
    text += QStringLiteral("(ファイルが見つかりません)\n");
  }
  if (!report.isEmpty()) {
    QString r = report;
    r.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text += QLatin1Char('\n') + r;
  }
  return text;
}

void ShowFileProperties(const QString& path, const QString& report, QWidget* owner) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kManager)) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kManager, QStringLiteral("/org/freedesktop/FileManager1"), kManager, QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())} << QString();
    bus.call(call, QDBus::NoBlock);
    return;
  }
  auto* dialog = new QDialog(owner, Qt::Window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("Properties"));
  dialog->setWindowTitle(QStringLiteral("プロパティ - ") + DisplayPath(path.section(QLatin1Char('/'), -1)));
  auto* view = new QPlainTextEdit(PropertiesText(path, report), dialog);
  view->setReadOnly(true);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(view);
  dialog->resize(560, 420);
  dialog->show();
}

}  // namespace vortaq
