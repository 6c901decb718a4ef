#include "open_location.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ini_file.h"

namespace vortaq {

namespace {

const QString kSection = QStringLiteral("OpenURL");
constexpr int kHistory = 5;

QString Key(int i) { return QStringLiteral("URLHistory%1").arg(i + 1, 2, 10, QLatin1Char('0')); }

}  // namespace

QStringList ReadUrlHistory(const IniFile& ini) {
  QStringList out;
  for (int i = 0; i < kHistory; ++i) out << ini.ReadString(kSection, Key(i), QString());
  return out;
}

void WriteUrlHistory(IniFile& ini, const QStringList& history) {
  // Kept as typed: the settings file is Unicode, no code page loses characters.
  for (int i = 0; i < kHistory; ++i) ini.WriteString(kSection, Key(i), history.value(i));
}

QStringList PushUrl(QStringList history, const QString& address) {
  while (history.size() < kHistory) history.prepend(QString());
  history << address;
  while (history.size() > kHistory) history.removeFirst();
  return history;
}

TVRTQ_OPENURL::TVRTQ_OPENURL(const QStringList& history, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TVRTQ_OPENURL"));
  setWindowTitle(QStringLiteral("ファイル以外を開く"));
  auto* label = new QLabel(QStringLiteral("ファイル又はストリーミングファイルのURLを入力して下さい"), this);
  C_URL = new QComboBox(this);
  C_URL->setObjectName(QStringLiteral("C_URL"));
  C_URL->setEditable(true);
  C_URL->setInsertPolicy(QComboBox::NoInsert);
  C_URL->setMinimumWidth(360);
  C_URL->addItems(history);
  C_URL->setEditText(QStringLiteral("http://"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("B_Ok"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("B_Cancel"));
  connect(ok, &QPushButton::clicked, this, &TVRTQ_OPENURL::B_OkClick);
  connect(cancel, &QPushButton::clicked, this, &TVRTQ_OPENURL::B_CancelClick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* column = new QVBoxLayout(this);
  column->addWidget(label);
  column->addWidget(C_URL);
  column->addLayout(buttons);
}

QString TVRTQ_OPENURL::address() const { return C_URL->currentText(); }

void TVRTQ_OPENURL::B_OkClick() { accept(); }

void TVRTQ_OPENURL::B_CancelClick() { reject(); }

}  // namespace vortaq
