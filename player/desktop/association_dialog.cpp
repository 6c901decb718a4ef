#include "association_dialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop_texts.h"
#include "message_box.h"

namespace vortaq {

AssociationDialog::AssociationDialog(Associations associations, QWidget* parent)
    : QDialog(parent), associations_(std::move(associations)), confirm_([this](const QString& text) {
        return Confirm(this, text);
      }) {
  setObjectName(QStringLiteral("TVRTQ_KANREN"));
  setWindowTitle(QStringLiteral("関連付け"));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("LIST"));
  list_->setSelectionMode(QAbstractItemView::MultiSelection);
  list_->addItems(DefaultAssociationExtensions());
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("E_Ext"));
  auto* add = new QPushButton(QStringLiteral("追加"), this);
  auto* registerButton = new QPushButton(QStringLiteral("登録"), this);
  auto* restore = new QPushButton(QStringLiteral("元に戻す"), this);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  auto* all = new QPushButton(QStringLiteral("全て選択"), this);
  auto* none = new QPushButton(QStringLiteral("全て解除"), this);
  registerButton->setDefault(true);

  auto* addRow = new QHBoxLayout;
  addRow->addWidget(edit_);
  addRow->addWidget(add);
  auto* selectRow = new QHBoxLayout;
  selectRow->addWidget(all);
  selectRow->addWidget(none);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(registerButton);
  buttons->addWidget(restore);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(selectRow);
  layout->addLayout(addRow);
  layout->addLayout(buttons);

  connect(add, &QPushButton::clicked, this, &AssociationDialog::Add);
  connect(all, &QPushButton::clicked, this, [this] { SelectAll(true); });
  connect(none, &QPushButton::clicked, this, [this] { SelectAll(false); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(registerButton, &QPushButton::clicked, this, &AssociationDialog::RegisterSelected);
  connect(restore, &QPushButton::clicked, this, &AssociationDialog::RestoreSelected);
}

void AssociationDialog::Add() {
  if (edit_->text().isEmpty()) return;
  list_->addItem(edit_->text());
  edit_->clear();
}

void AssociationDialog::SelectAll(bool select) {
  for (int i = 0; i < list_->count(); ++i) list_->item(i)->setSelected(select);
}

QStringList AssociationDialog::Selected() const {
  QStringList out;
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->isSelected()) out << list_->item(i)->text();
  return out;
}

void AssociationDialog::RegisterSelected() {
  if (!confirm_(QStringLiteral("選択を纏めて関連付けを実行します。よろしいですか?"))) return;
  if (!associations_.Register(Selected())) {
    ShowError(this, QString::fromUtf16(texts::kAssociationFailed), QStringLiteral("関連付け"));
    return;
  }
  ShowInformation(this, QStringLiteral("関連付けしました。"), QStringLiteral("完了"));
  accept();
}

void AssociationDialog::RestoreSelected() {
  if (!confirm_(QStringLiteral("Vortaqで関連付けたものを元に戻します。宜しいですか?"))) return;
  if (!associations_.Restore(Selected())) {
    ShowError(this, QString::fromUtf16(texts::kAssociationFailed), QStringLiteral("関連付け"));
    return;
  }
  ShowInformation(this, QStringLiteral("元に戻しました。"), QStringLiteral("完了"));
  accept();
}

}  // namespace vortaq
