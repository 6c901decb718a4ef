#include "message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
#include <cstdio>

#include "texts.h"

namespace vortaq {

namespace {

QString g_last;

bool ToStandardError(const QString& caption, const QString& text) {
  g_last = text;
  if (qEnvironmentVariable("VORTAQ_MESSAGES") != QLatin1String("stderr")) return false;
  std::fprintf(stderr, "vortaq: %s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
  return true;
}

// Window managers cut a caption wider than the box; a box is sized by its
// text alone, so make room for the caption too.
void FitCaption(QMessageBox* box, const QString& caption) {
  const int want = QFontMetrics(QApplication::font()).horizontalAdvance(caption) + 160;
  auto* grid = qobject_cast<QGridLayout*>(box->layout());
  if (!grid) return;
  grid->addItem(new QSpacerItem(want, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

void Show(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption) {
  if (ToStandardError(caption, text)) return;
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  FitCaption(&box, caption);
  box.exec();
}

}  // namespace

void ShowError(QWidget* owner, const QString& text, const QString& caption) {
  Show(owner, QMessageBox::Critical, text, caption);
}

void ShowWarning(QWidget* owner, const QString& text, const QString& caption) {
  Show(owner, QMessageBox::Warning, text, caption);
}

void ShowInformation(QWidget* owner, const QString& text, const QString& caption) {
  Show(owner, QMessageBox::Information, text, caption);
}

void ShowErrorLater(QWidget* owner, const QString& text, const QString& caption) {
  if (ToStandardError(caption, text)) return;
  auto* box = new QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  FitCaption(box, caption);
  box->show();
}

bool Confirm(QWidget* owner, const QString& text) {
  if (ToStandardError(texts::kConfirm, text)) return false;
  QMessageBox box(QMessageBox::Question, texts::kConfirm, text,
                  QMessageBox::Yes | QMessageBox::No, owner);
  FitCaption(&box, texts::kConfirm);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString LastMessage() { return g_last; }

}  // namespace vortaq
