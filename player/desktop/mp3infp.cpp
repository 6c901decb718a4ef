#include "mp3infp.h"

#include <QDir>
#include <QFile>

#include "desktop_texts.h"

#ifndef VORTAQ_LIBDIR
#define VORTAQ_LIBDIR "/usr/local/lib/vortaq"
#endif

namespace vortaq {

namespace {

constexpr uint32_t kMinimumVersion = 0x0253;
constexpr qsizetype kFieldLength = 255;

}  // namespace

QStringList TagPluginCandidates(const QString& programDir) {
  return {QDir(programDir).filePath(QStringLiteral("libvrtqtags.so")),
          QStringLiteral(VORTAQ_LIBDIR "/libvrtqtags.so")};
}

QString Mp3Infp::Bind(const QStringList& candidates) {
  if (bound()) return {};
  for (const QString& candidate : candidates) {
    if (library_.Open({candidate}).isEmpty()) break;
  }
  if (!library_.isOpen()) return QString::fromUtf16(texts::kTagsMissing);
  getVer_ = library_.Resolve<VerFn>("mp3infp_GetVer");
  load_ = library_.Resolve<LoadFn>("mp3infp_Load");
  getType_ = library_.Resolve<VerFn>("mp3infp_GetType");
  getTagType_ = library_.Resolve<VerFn>("mp3infp_mp3_GetTagType");
  getValue_ = library_.Resolve<GetValueFn>("mp3infp_GetValue");
  loadW_ = library_.Resolve<LoadWFn>("mp3infp_LoadW");
  getValueW_ = library_.Resolve<GetValueWFn>("mp3infp_GetValueW");
  if (getVer_ && getVer_() < kMinimumVersion) {
    Unbind();
    return QString::fromUtf16(texts::kTagsTooOld);
  }
  // A library missing an entry point every read needs would be called through
  // a null pointer: refuse it as not found.
  if (!load_ && !loadW_) {
    Unbind();
    return QString::fromUtf16(texts::kTagsMissing);
  }
  if (!getType_ || !getTagType_ || !getValue_ || (loadW_ && !getValueW_)) {
    Unbind();
    return QString::fromUtf16(texts::kTagsMissing);
  }
  return {};
}

void Mp3Infp::Unbind() {
  library_.Close();
  getVer_ = nullptr;
  load_ = nullptr;
  getType_ = nullptr;
  getTagType_ = nullptr;
  getValue_ = nullptr;
  loadW_ = nullptr;
  getValueW_ = nullptr;
}

TagValues Mp3Infp::ReadValues(const QString& path) const {
  TagValues v;
  if (!bound()) return v;
  const uint32_t failed = loadW_ ? loadW_(nullptr, reinterpret_cast<const char16_t*>(path.utf16()))
                                 : load_(nullptr, QFile::encodeName(path).constData());
  if (failed != 0) return v;

  const char* title = nullptr;
  const char* artist = nullptr;
  const char* format = nullptr;
  switch (getType_()) {
    case 1: {
      const uint32_t bits = getTagType_();
      if (bits & 0x04) {
        title = "INAM_rmp", artist = "IART_rmp";
      } else if (bits & 0x02) {
        title = "INAM_v2", artist = "IART_v2";
      } else if (bits & 0x01) {
        title = "INAM_v1", artist = "IART_v1";
      } else if (bits & 0x300) {
        title = "INAM_APE", artist = "IART_APE";
      }
      break;
    }
    case 2:
    case 7:
    case 8:
      title = "INAM", artist = "IART";
      break;
    case 5:
    case 9:
      title = "INAM", artist = "IART", format = "VFMT";
      break;
    default:
      break;
  }
  const auto read = [this](const char* name, QString* wide, QByteArray* narrow) {
    if (!name) return;
    if (loadW_) {
      const QString wname = QString::fromLatin1(name);
      char16_t* text = nullptr;
      getValueW_(reinterpret_cast<const char16_t*>(wname.utf16()), &text);
      if (text) {
        qsizetype n = 0;
        while (n < kFieldLength && text[n] != 0) ++n;
        *wide = QString::fromUtf16(text, n);
      }
    }
    char* text = nullptr;
    getValue_(name, &text);
    if (text) {
      qsizetype n = static_cast<qsizetype>(qstrnlen(text, kFieldLength + 1));
      if (n > kFieldLength) {
        // Cut before a UTF-8 sequence rather than through it.
        n = kFieldLength;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
      }
      *narrow = QByteArray(text, n);
    }
  };
  read(title, &v.title, &v.ansiTitle);
  read(artist, &v.artist, &v.ansiArtist);
  read(format, &v.videoFormat, &v.ansiVideoFormat);
  return v;
}

}  // namespace vortaq
