#include "message_box.h"

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

void Show(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption) {
  if (ToStandardError(caption, text)) return;
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
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

bool Confirm(QWidget* owner, const QString& text) {
  if (ToStandardError(texts::kConfirm, text)) return false;
  QMessageBox box(QMessageBox::Question, texts::kConfirm, text,
                  QMessageBox::Yes | QMessageBox::No, owner);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString LastMessage() { return g_last; }

}  // namespace vortaq
