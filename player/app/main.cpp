// vortaq: the player's process entry. Checks the side files, hands a file to
// the instance that already runs when only one may run, else runs the window.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <malloc.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "main_window.h"
#include "message_box.h"
#include "platform/close_signals.h"
#include "platform/local_path.h"
#include "platform/single_instance.h"
#include "program_dir.h"
#include "settings.h"
#include "texts.h"

namespace {

// A relative path means the caller's folder; addresses stay as they are.
QString Absolute(const QString& argument) {
  return argument.contains(QLatin1String("://")) ? argument : QFileInfo(argument).absoluteFilePath();
}

// The command line as given: Qt's own decoding loses file-name bytes that are
// no UTF-8.
QStringList RawArguments(int argc, char** argv) {
  QStringList out;
  for (int i = 0; i < argc; ++i) out << vortaq::PathFromLocal(QByteArray(argv[i]));
  return out;
}

void DescribeOptions(QCommandLineParser* parser) {
  parser->setApplicationDescription(
      QStringLiteral("Plays media files and shows what each one really is."));
  parser->addHelpOption();
  parser->addVersionOption();
  parser->addPositionalArgument(
      QStringLiteral("files"),
      QStringLiteral("Files to play: the first is opened, two or more also go to the playlist. "
                     "Put -- before names that begin with '-'."),
      QStringLiteral("[--] [FILE...]"));
}

// --help and --version answer without a display: no window system is needed.
bool AnswersWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray a(argv[i]);
    if (a == "--") return false;
    for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
      if (a == option) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // The engine's many short-lived threads would each leave a malloc arena of
  // freed memory behind: a few arenas keep the player's size flat across files.
  mallopt(M_ARENA_MAX, 2);
  // Set before the application object: the window class (WM_CLASS) is taken
  // from it and must match the desktop file.
  QCoreApplication::setApplicationName(QStringLiteral("Vortaq"));
  QCoreApplication::setApplicationVersion(
      QStringLiteral(VORTAQ_VERSION " (") + vortaq::texts::kApplicationTitle + QLatin1Char(')'));

  if (AnswersWithoutWindow(argc, argv)) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    DescribeOptions(&parser);
    parser.process(RawArguments(argc, argv));  // prints help or version and exits 0
    return 0;
  }

  // Wayland gives clients no window positions, opacity or stay-on-top; run
  // through XWayland when it is there.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  QApplication::setDesktopFileName(QStringLiteral("vortaq"));
  std::setlocale(LC_NUMERIC, "C");
  // The program speaks Japanese throughout, Qt's own buttons and dialogs too.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);

  QCommandLineParser parser;
  DescribeOptions(&parser);
  parser.process(RawArguments(argc, argv));

  using namespace vortaq;
  const QString programDir = ProgramDirectory();
  if (!QFileInfo::exists(programDir + QStringLiteral("FORMAT.INI"))) {
    ShowError(nullptr, texts::kFormatIniMissing, texts::kError);
    return -1;
  }
  if (!QFileInfo::exists(programDir + QStringLiteral("CODECS.INI")))
    ShowWarning(nullptr, texts::kCodecsIniMissing, texts::kCodecsIniMissingCaption);

  const QStringList arguments = parser.positionalArguments();
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
