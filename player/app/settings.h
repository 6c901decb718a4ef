// The "Main" section of the settings file: keys, defaults, and the order in
// which they are read at start and written at exit. Other owners (playlist,
// seek magnifier, open-location dialog) add their own sections to the same
// SettingsFile.
#pragma once

#include <QString>

#include "ini_file.h"

namespace vortaq {

// Hint style codes as stored: 2 is the translucent style, 3 the normal one.
constexpr int kHintStyleTranslucent = 2;
constexpr int kHintStyleNormal = 3;

struct MainSettings {
  int wmpDefaultWidth = 300;
  int wmpDefaultHeight = 146;
  int wmpRateMax = 20;
  int mainX = 100;
  int mainY = 100;
  bool autoStart = true;
  bool autoRepeat = true;
  int volume = 100;  // percent
  bool alwaysOnTop = false;
  bool hideControl = false;
  bool transMain = false;
  int transWindow = 0;
  int hintFontColor = 0xFFFFFF;  // 0x00BBGGRR
  int hintBGColor = 0;
  int hintExFontColor = 0xFFFFFF;
  int hintExShadowColor = 0;
  int hintStyle = kHintStyleNormal;
  bool hint = true;
  bool resume = false;
  int resumeState = 6;
  int resumePos = 0;
  QString resumeFileName;
  bool checkExt = false;
  bool exec = false;
  bool stopScreenSaver = false;
  bool addReadOnly = false;
  bool noTaskTray = false;
  bool noTaskTrayPopup = false;
  bool waTrack = false;
  bool msn = false;
  bool skype = false;
  int seekLeftRight = 5;
  bool playList = false;
  bool seek = false;
  QString dir;
};

MainSettings ReadMainSettings(const IniFile& ini);
// Writes the keys that are saved at exit, in their fixed order; the three
// WMP* keys are read only and never written.
void WriteMainSettings(IniFile& ini, const MainSettings& s);

// Volume bar (-5000..0) and the stored percent.
int VolumeBarFromPercent(int percent);
int PercentFromVolumeBar(int position);

// Where the settings live: vortaq.ini beside the program when that file exists
// and is writable (a portable copy), else $XDG_CONFIG_HOME/vortaq/vortaq.ini.
QString SettingsPath(const QString& programDir);

// The file as loaded once, kept so that a failed load is never followed by a
// save that would replace what could not be read.
class SettingsFile {
 public:
  explicit SettingsFile(QString path) : path_(std::move(path)) {}
  // A missing file loads as empty. A file that exists but cannot be read, or
  // holds no UTF-16 byte-order mark, marks the file unwritable for this run.
  bool Load();
  // Loads afresh, lets edit change it, and writes it back atomically. Does
  // nothing when the file could not be read at Load.
  template <typename Edit>
  bool Update(Edit edit) {
    if (!writable_) return false;
    IniFile ini;
    if (!Reload(&ini)) return false;
    edit(ini);
    return Store(ini);
  }
  const IniFile& ini() const { return ini_; }
  const QString& path() const { return path_; }
  bool writable() const { return writable_; }

 private:
  bool Reload(IniFile* ini) const;
  bool Store(const IniFile& ini) const;

  QString path_;
  IniFile ini_;
  bool writable_ = true;
};

}  // namespace vortaq
