// The properties of a file: the desktop's file manager shows them where one
// answers on the session bus (org.freedesktop.FileManager1.ShowItems), else a
// window of ours with the path, size, dates, permissions and the report.
#pragma once

#include <QString>

class QWidget;

namespace vortaq {

// Asks the desktop's file manager to show path; false when none answers on
// the session bus, and the caller shows its own window instead.
bool AskFileManager(const QString& path);

// Our own properties window (not modal; it deletes itself when closed).
void ShowPropertiesWindow(const QString& path, const QString& report, QWidget* owner);

// Its text: path, size, dates, permissions and owner, then the report.
QString PropertiesText(const QString& path, const QString& report);

}  // namespace vortaq
