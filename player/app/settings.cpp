#include "settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/atomic_file.h"

namespace vortaq {

namespace {

const QString kMain = QStringLiteral("Main");

enum class LoadResult { kMissing, kRead, kUnreadable };

LoadResult ReadSettingsBytes(const QString& path, QByteArray* bytes) {
  QFileInfo info(path);
  if (!info.exists()) return LoadResult::kMissing;
  QFile file(path);
  if (!info.isFile() || !file.open(QIODevice::ReadOnly)) return LoadResult::kUnreadable;
  *bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return LoadResult::kUnreadable;
  // Anything but empty or UTF-16 LE is someone else's text: keep it intact.
  if (!bytes->isEmpty() &&
      !(bytes->size() >= 2 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
        static_cast<unsigned char>((*bytes)[1]) == 0xFE))
    return LoadResult::kUnreadable;
  return LoadResult::kRead;
}

}  // namespace

MainSettings ReadMainSettings(const IniFile& ini) {
  MainSettings s;
  auto i = [&](const char* key, int def) { return ini.ReadInteger(kMain, QLatin1String(key), def); };
  auto b = [&](const char* key, bool def) { return ini.ReadBool(kMain, QLatin1String(key), def); };
  auto t = [&](const char* key) { return ini.ReadString(kMain, QLatin1String(key), QString()); };
  s.wmpDefaultWidth = i("WMPDefaultWidth", s.wmpDefaultWidth);
  s.wmpDefaultHeight = i("WMPDefaultHeight", s.wmpDefaultHeight);
  s.wmpRateMax = i("WMPRateMax", s.wmpRateMax);
  s.mainX = i("MainX", s.mainX);
  s.mainY = i("MainY", s.mainY);
  s.autoStart = b("AutoStart", s.autoStart);
  s.autoRepeat = b("AutoRepeat", s.autoRepeat);
  s.volume = i("Volume", s.volume);
  s.alwaysOnTop = b("AlwaysOnTop", s.alwaysOnTop);
  s.hideControl = b("HideControl", s.hideControl);
  s.transMain = b("TransMain", s.transMain);
  s.transWindow = i("TransWindow", s.transWindow);
  s.hintFontColor = i("HintFontColor", s.hintFontColor);
  s.hintBGColor = i("HintBGColor", s.hintBGColor);
  s.hintExFontColor = i("HintExFontColor", s.hintExFontColor);
  s.hintExShadowColor = i("HintExShadowColor", s.hintExShadowColor);
  s.hintStyle = i("HintStyle", s.hintStyle) == kHintStyleTranslucent ? kHintStyleTranslucent
                                                                      : kHintStyleNormal;
  s.hint = b("Hint", s.hint);
  s.resume = b("Resume", s.resume);
  s.resumeState = i("ResumeState", s.resumeState);
  s.resumePos = i("ResumePos", s.resumePos);
  s.resumeFileName = t("ResumeFileName");
  s.checkExt = b("CheckExt", s.checkExt);
  s.exec = b("Exec", s.exec);
  s.stopScreenSaver = b("StopScreenSaver", s.stopScreenSaver);
  s.addReadOnly = b("AddReadOnly", s.addReadOnly);
  s.noTaskTray = b("NoTaskTray", s.noTaskTray);
  s.noTaskTrayPopup = b("NoTaskTrayPopup", s.noTaskTrayPopup);
  s.waTrack = b("WATrack", s.waTrack);
  s.msn = b("MSN", s.msn);
  s.skype = b("Skype", s.skype);
  s.seekLeftRight = i("SeekLeftRight", s.seekLeftRight);
  s.playList = b("PlayList", s.playList);
  s.seek = b("Seek", s.seek);
  s.dir = t("Dir");
  return s;
}

void WriteMainSettings(IniFile& ini, const MainSettings& s) {
  auto i = [&](const char* key, int v) { ini.WriteInteger(kMain, QLatin1String(key), v); };
  auto b = [&](const char* key, bool v) { ini.WriteBool(kMain, QLatin1String(key), v); };
  auto t = [&](const char* key, const QString& v) { ini.WriteString(kMain, QLatin1String(key), v); };
  i("MainX", s.mainX);
  i("MainY", s.mainY);
  b("AutoStart", s.autoStart);
  b("AutoRepeat", s.autoRepeat);
  i("Volume", s.volume);
  b("AlwaysOnTop", s.alwaysOnTop);
  b("HideControl", s.hideControl);
  i("TransWindow", s.transWindow);
  b("TransMain", s.transMain);
  b("Hint", s.hint);
  i("HintExFontColor", s.hintExFontColor);
  i("HintExShadowColor", s.hintExShadowColor);
  i("HintFontColor", s.hintFontColor);
  i("HintBGColor", s.hintBGColor);
  i("HintStyle", s.hintStyle == kHintStyleTranslucent ? kHintStyleTranslucent : kHintStyleNormal);
  b("Resume", s.resume);
  i("ResumeState", s.resumeState);
  i("ResumePos", s.resumePos);
  t("ResumeFileName", s.resumeFileName);
  b("CheckExt", s.checkExt);
  b("Exec", s.exec);
  b("StopScreenSaver", s.stopScreenSaver);
  b("AddReadOnly", s.addReadOnly);
  b("NoTaskTray", s.noTaskTray);
  b("NoTaskTrayPopup", s.noTaskTrayPopup);
  b("WATrack", s.waTrack);
  b("MSN", s.msn);
  b("Skype", s.skype);
  i("SeekLeftRight", s.seekLeftRight);
  b("PlayList", s.playList);
  b("Seek", s.seek);
  t("Dir", s.dir);
}

int VolumeBarFromPercent(int percent) { return percent * 50 - 5000; }

int PercentFromVolumeBar(int position) { return (position + 5000) / 50; }

QString SettingsPath(const QString& programDir) {
  const QString portable = QDir(programDir).filePath(QStringLiteral("vortaq.ini"));
  QFileInfo info(portable);
  if (info.isFile() && info.isWritable()) return portable;
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base))
    base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/vortaq/vortaq.ini");
}

bool SettingsFile::Load() {
  QByteArray bytes;
  const LoadResult r = ReadSettingsBytes(path_, &bytes);
  writable_ = r != LoadResult::kUnreadable;
  ini_ = r == LoadResult::kRead ? IniFile::FromBytes(bytes) : IniFile();
  return r != LoadResult::kUnreadable;
}

bool SettingsFile::Reload(IniFile* ini) const {
  QByteArray bytes;
  const LoadResult r = ReadSettingsBytes(path_, &bytes);
  if (r == LoadResult::kUnreadable) return false;
  *ini = r == LoadResult::kRead ? IniFile::FromBytes(bytes) : IniFile();
  return true;
}

bool SettingsFile::Store(const IniFile& ini) const {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  return WriteFileAtomically(path_, ini.ToBytes());
}

}  // namespace vortaq
