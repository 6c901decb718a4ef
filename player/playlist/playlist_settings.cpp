#include "playlist_settings.h"

namespace vortaq::playlist {

namespace {
const QString kSection = QStringLiteral("PlayList");
QString ColumnKey(int i) { return QStringLiteral("PlayListColumn%1").arg(i); }
}  // namespace

PlayListSettings ReadPlayListSettings(const IniFile& ini) {
  PlayListSettings s;
  s.x = ini.ReadInteger(kSection, "PlayListX", s.x);
  s.y = ini.ReadInteger(kSection, "PlayListY", s.y);
  s.w = ini.ReadInteger(kSection, "PlayListW", s.w);
  s.h = ini.ReadInteger(kSection, "PlayListH", s.h);
  for (int i = 0; i < 4; ++i) s.columns[i] = ini.ReadInteger(kSection, ColumnKey(i), s.columns[i]);
  s.dir = ini.ReadString(kSection, "PlayListDir", s.dir);
  s.listPlay = ini.ReadBool(kSection, "ListPlay", s.listPlay);
  s.randomPlay = ini.ReadBool(kSection, "RandomPlay", s.randomPlay);
  s.noSameFile = ini.ReadBool(kSection, "NoSameFile", s.noSameFile);
  s.dirRecursive = ini.ReadBool(kSection, "DirRecursive", s.dirRecursive);
  s.listPos = ini.ReadInteger(kSection, "ListPos", s.listPos);
  s.fontName = ini.ReadString(kSection, "FontName", s.fontName);
  s.fontSize = ini.ReadInteger(kSection, "FontSize", s.fontSize);
  s.bold = ini.ReadBool(kSection, "FontStyleBold", s.bold);
  s.italic = ini.ReadBool(kSection, "FontStyleItalic", s.italic);
  s.underline = ini.ReadBool(kSection, "FontStyleUnderline", s.underline);
  s.strikeOut = ini.ReadBool(kSection, "FontStyleStrikeOut", s.strikeOut);
  return s;
}

void WritePlayListSettings(IniFile& ini, const PlayListSettings& s) {
  ini.WriteInteger(kSection, "PlayListX", s.x);
  ini.WriteInteger(kSection, "PlayListY", s.y);
  ini.WriteInteger(kSection, "PlayListW", s.w);
  ini.WriteInteger(kSection, "PlayListH", s.h);
  for (int i = 0; i < 4; ++i) ini.WriteInteger(kSection, ColumnKey(i), s.columns[i]);
  ini.WriteString(kSection, "PlayListDir", s.dir);
  ini.WriteInteger(kSection, "ListPos", s.listPos);
  ini.WriteBool(kSection, "ListPlay", s.listPlay);
  ini.WriteBool(kSection, "RandomPlay", s.randomPlay);
  ini.WriteBool(kSection, "NoSameFile", s.noSameFile);
  ini.WriteBool(kSection, "DirRecursive", s.dirRecursive);
  ini.WriteString(kSection, "FontName", s.fontName);
  ini.WriteInteger(kSection, "FontSize", s.fontSize);
  ini.WriteBool(kSection, "FontStyleBold", s.bold);
  ini.WriteBool(kSection, "FontStyleItalic", s.italic);
  ini.WriteBool(kSection, "FontStyleUnderline", s.underline);
  ini.WriteBool(kSection, "FontStyleStrikeOut", s.strikeOut);
}

}  // namespace vortaq::playlist
