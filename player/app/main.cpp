// vortaq: the player's process entry. Checks the side files, hands a file to
// the instance that already runs when only one may run, else runs the window.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <clocale>

#include "main_window.h"
#include "message_box.h"
#include "platform/close_signals.h"
#include "platform/single_instance.h"
#include "program_dir.h"
#include "settings.h"
#include "texts.h"

namespace {

// A relative path means the caller's folder; addresses stay as they are.
QString Absolute(const QString& argument) {
  return argument.contains(QLatin1String("://")) ? argument : QFileInfo(argument).absoluteFilePath();
}

}  // namespace

int main(int argc, char** argv) {
  // Wayland gives clients no window positions, opacity or stay-on-top; run
  // through XWayland when it is there.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vortaq"));
  QApplication::setDesktopFileName(QStringLiteral("vortaq"));
  std::setlocale(LC_NUMERIC, "C");

  using namespace vortaq;
  const QString programDir = ProgramDirectory();
  if (!QFileInfo::exists(programDir + QStringLiteral("FORMAT.INI"))) {
    ShowError(nullptr, texts::kFormatIniMissing, texts::kError);
    return -1;
  }
  if (!QFileInfo::exists(programDir + QStringLiteral("CODECS.INI")))
    ShowWarning(nullptr, texts::kCodecsIniMissing, texts::kCodecsIniMissingCaption);

  const QStringList arguments = app.arguments().mid(1);
  if (InstanceRunning(QStringLiteral("VRTQ_NoMultiRun"))) {
    // The receiver runs in another folder: send the path it can open.
    if (!arguments.isEmpty())
      SendHandOver(QStringLiteral("VRTQ_NoMultiRun"), Absolute(arguments.first()));
    return 1;
  }

  MainWindowOptions options;
  options.programDir = programDir;
  options.libraries = ProbexCandidates(ExecutableDirectory());
  options.settingsPath = SettingsPath(ExecutableDirectory());
  for (const QString& a : arguments) options.arguments << Absolute(a);
  TVRTQ_MAIN window(options);
  RouteCloseSignals([&window] { window.close(); });
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] { window.close(); });
  window.show();
  app.exec();
  return 0;
}
