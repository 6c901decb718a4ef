// TVRTQ_KANREN: the dialog that associates chosen extensions with Vortaq and
// takes the associations away again.
#pragma once

#include <QDialog>
#include <functional>

#include "associations.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace vortaq {

class AssociationDialog : public QDialog {
  Q_OBJECT
 public:
  AssociationDialog(Associations associations, QWidget* parent = nullptr);

  // Asks the Yes/No question (for tests; the message box by default).
  void SetConfirm(std::function<bool(const QString&)> confirm) { confirm_ = std::move(confirm); }
  QListWidget* list() const { return list_; }
  QLineEdit* edit() const { return edit_; }

  void Add();
  void SelectAll(bool select);
  void RegisterSelected();
  void RestoreSelected();

 private:
  QStringList Selected() const;
  Associations associations_;
  std::function<bool(const QString&)> confirm_;
  QListWidget* list_;
  QLineEdit* edit_;
};

}  // namespace vortaq
