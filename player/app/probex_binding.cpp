#include "probex_binding.h"

#include <iconv.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "playlist/auto_rename.h"
#include "texts.h"

#ifndef VORTAQ_LIBDIR
#define VORTAQ_LIBDIR "/usr/local/lib/vortaq"
#endif

namespace vortaq {

namespace {

const char kLibraryName[] = "libprobex.so";

}  // namespace

bool FitsRecord(const QString& path) { return path.size() < PROBEX_PATH_UNITS; }

void StorePath(MediaInfo* info, const QString& path) {
  const qsizetype n = std::min<qsizetype>(path.size(), PROBEX_PATH_UNITS - 1);
  std::memset(info->path, 0, sizeof info->path);
  std::memcpy(info->path, path.utf16(), n * sizeof(char16_t));
}

QString PathOfRecord(const MediaInfo& info) {
  qsizetype n = 0;
  while (n < PROBEX_PATH_UNITS && info.path[n] != 0) ++n;
  return QString::fromUtf16(info.path, n);
}

QString Cp932ToUnicode(const QByteArray& text) {
  iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return QString::fromLatin1(text);
  QString out;
  std::vector<char> buffer(4 * text.size() + 16);
  char* in = const_cast<char*>(text.constData());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* o = buffer.data();
    size_t oLeft = buffer.size();
    const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out += QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer.data()),
                              (buffer.size() - oLeft) / 2);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // An invalid or cut sequence: one replacement character, one byte on.
      out += QChar(0xFFFD);
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

QString SizeText(qint64 size) {
  const QString digits = QString::number(size < 0 ? -static_cast<quint64>(size)
                                                  : static_cast<quint64>(size));
  QString out;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += QLatin1Char(',');
    out += digits[i];
  }
  return size < 0 ? QLatin1Char('-') + out : out;
}

QStringList ProbexCandidates(const QString& programDir) {
  return {QDir(programDir).filePath(QLatin1String(kLibraryName)),
          QStringLiteral(VORTAQ_LIBDIR "/") + QLatin1String(kLibraryName)};
}

QString ProbexBinding::Bind(const QStringList& candidates, const QString& templateDir) {
  Unbind();
  const QString loaderError = library_.Open(candidates);
  if (!loaderError.isEmpty()) return texts::LoadFailed(loaderError);
  getDllVersion_ = library_.Resolve<IntFn>("GetDllVersion");
  unicode_ = library_.Resolve<IntFn>("Unicode");
  setPath_ = library_.Resolve<SetPathFn>("SetPath");
  getFileFormat_ = library_.Resolve<InfoFn>("GetFileFormat");
  getFileInfo_ = library_.Resolve<InfoFn>("GetFileInfo");
  getFileInfoAuto_ = library_.Resolve<InfoFn>("GetFileInfoAuto");
  convertFull_ = library_.Resolve<FullFn>("ConvertFull");
  convertOne_ = library_.Resolve<OneFn>("ConvertOne");
  convertFullLen_ = library_.Resolve<LenFn>("ConvertFullLen");
  convertOneLen_ = library_.Resolve<LenFn>("ConvertOneLen");
  QString error;
  if (!getDllVersion_) {
    error = texts::LibraryBroken();
  } else if (!unicode_) {
    error = texts::LibraryNotUnicode();
  } else if (unicode_() == 0) {
    error = texts::LibraryAnsi();
  } else if (!setPath_ || !getFileFormat_ || !getFileInfo_ || !getFileInfoAuto_ ||
             !convertFull_ || !convertOne_ || !convertFullLen_ || !convertOneLen_) {
    // A library without any one of the others would be called through a null
    // pointer later: refuse it like one without a version.
    error = texts::LibraryBroken();
  }
  if (!error.isEmpty()) {
    Unbind();
    return error;
  }
  version_ = getDllVersion_();
  QString dir = templateDir;
  if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
  setPath_(reinterpret_cast<const probex_char16*>(dir.utf16()));
  return QString();
}

void ProbexBinding::Unbind() {
  library_.Close();
  version_ = 0;
  getDllVersion_ = unicode_ = nullptr;
  setPath_ = nullptr;
  getFileFormat_ = getFileInfo_ = getFileInfoAuto_ = nullptr;
  convertFull_ = nullptr;
  convertOne_ = nullptr;
  convertFullLen_ = convertOneLen_ = nullptr;
}

bool ProbexBinding::Detect(const QString& path, bool checkExt, MediaInfo* info) const {
  std::memset(info, 0, sizeof *info);
  if (!bound() || !FitsRecord(path)) return false;
  StorePath(info, path);
  getFileFormat_(info);
  if (checkExt) AutoRename(info);
  return true;
}

QString ProbexBinding::FullReport(MediaInfo* info) const {
  if (!bound()) return QString();
  getFileInfo_(info);
  const int32_t length = convertFullLen_(info);
  if (length < 0) return QString();
  QByteArray buffer(qsizetype{length} + 1, '\0');
  convertFull_(info, buffer.data());
  return Cp932ToUnicode(QByteArray(buffer.constData(), qstrnlen(buffer.constData(), buffer.size())));
}

QString ProbexBinding::OneLine(MediaInfo* info) const {
  if (!bound()) return QString();
  getFileInfo_(info);
  const int32_t length = convertOneLen_(info);
  if (length < 0) return QString();
  QByteArray buffer(qsizetype{length} + 1, '\0');
  convertOne_(info, buffer.data());
  return Cp932ToUnicode(QByteArray(buffer.constData(), qstrnlen(buffer.constData(), buffer.size())));
}

}  // namespace vortaq
