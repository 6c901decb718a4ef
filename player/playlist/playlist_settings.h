// The "PlayList" section of the settings file.
#pragma once

#include <QString>

#include "ini_file.h"

namespace vortaq::playlist {

struct PlayListSettings {
  int x = 300, y = 300, w = 480, h = 250;
  int columns[4] = {150, 200, 100, 120};
  QString dir;
  bool listPlay = false;
  bool randomPlay = false;
  bool noSameFile = false;
  bool dirRecursive = false;
  int listPos = -1;
  QString fontName = QStringLiteral("Tahoma");
  int fontSize = 8;
  bool bold = false, italic = false, underline = false, strikeOut = false;
};

PlayListSettings ReadPlayListSettings(const IniFile& ini);
// In the order they are written at exit.
void WritePlayListSettings(IniFile& ini, const PlayListSettings& s);

}  // namespace vortaq::playlist
