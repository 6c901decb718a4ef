// The properties of a file: the desktop's file manager shows them where one
// answers on the session bus (org.freedesktop.FileManager1.ShowItems), else a
// window of ours with the path, size, dates, permissions and the report.
#pragma once

#include <QString>

class QWidget;

namespace vortaq {

void ShowFileProperties(const QString& path, const QString& report, QWidget* owner);

// Our own properties text (the fallback window's content).
QString PropertiesText(const QString& path, const QString& report);

}  // namespace vortaq
