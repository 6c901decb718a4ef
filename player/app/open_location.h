// TVRTQ_OPENURL ("ファイル以外を開く"): an address for the engine (a stream, or
// any path), with the last five kept in the settings' "OpenURL" section.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;

namespace vortaq {

class IniFile;

// URLHistory01 (oldest) .. URLHistory05 (newest): always five items, empty
// ones included.
QStringList ReadUrlHistory(const IniFile& ini);
void WriteUrlHistory(IniFile& ini, const QStringList& history);
// The history after address was opened: appended, the oldest dropped past five.
QStringList PushUrl(QStringList history, const QString& address);

class TVRTQ_OPENURL : public QDialog {
  Q_OBJECT
 public:
  TVRTQ_OPENURL(const QStringList& history, QWidget* parent = nullptr);
  QString address() const;
  QComboBox* urlBox() const { return C_URL; }

 public slots:
  void B_OkClick();
  void B_CancelClick();

 private:
  QComboBox* C_URL = nullptr;
};

}  // namespace vortaq
