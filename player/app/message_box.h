// Message boxes with the program's captions. When VORTAQ_MESSAGES=stderr is
// set (headless runs, scripted checks), the text goes to standard error and
// the default answer is taken instead of showing a box.
#pragma once

#include <QMessageBox>
#include <QString>

namespace vortaq {

void ShowError(QWidget* owner, const QString& text, const QString& caption);
void ShowWarning(QWidget* owner, const QString& text, const QString& caption);
void ShowInformation(QWidget* owner, const QString& text, const QString& caption);
// An error box that is shown and returned from at once (no nested event loop);
// it deletes itself when closed.
void ShowErrorLater(QWidget* owner, const QString& text, const QString& caption);
// "確認" with Yes and No, No being the default; true for Yes.
bool Confirm(QWidget* owner, const QString& text);

// The last text shown through these functions (for tests).
QString LastMessage();

}  // namespace vortaq
