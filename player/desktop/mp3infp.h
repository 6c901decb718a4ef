// The player's side of the tag plug-in libvrtqtags.so: loading, the version
// check, and reading a file's title, artist and video format.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/shared_library.h"

namespace vortaq {

// The now-playing values of one file, each cut to 255 characters (bytes).
struct TagValues {
  QString title, artist, videoFormat;
  QByteArray ansiTitle, ansiArtist, ansiVideoFormat;
  bool operator==(const TagValues&) const = default;
};

class Mp3Infp {
 public:
  Mp3Infp() = default;
  Mp3Infp(const Mp3Infp&) = delete;
  Mp3Infp& operator=(const Mp3Infp&) = delete;

  // Loads the first candidate that loads and binds the seven entry points.
  // Returns "" when bound (or already bound), else the message to show with
  // the caption texts::kTagsCaption; nothing stays loaded then.
  QString Bind(const QStringList& candidates);
  void Unbind();
  bool bound() const { return library_.isOpen(); }
  bool unicode() const { return loadW_ != nullptr; }

  // Reads the file's values; all empty when the file cannot be read or the
  // library is not bound. Blocks on the file: call it off the GUI thread. The
  // plug-in keeps its state per thread, so calls from several threads are safe.
  TagValues ReadValues(const QString& path) const;

 private:
  using VerFn = uint32_t (*)();
  using LoadFn = uint32_t (*)(void*, const char*);
  using LoadWFn = uint32_t (*)(void*, const char16_t*);
  using GetValueFn = int (*)(const char*, char**);
  using GetValueWFn = int (*)(const char16_t*, char16_t**);

  SharedLibrary library_;
  VerFn getVer_ = nullptr;
  LoadFn load_ = nullptr;
  VerFn getType_ = nullptr;
  VerFn getTagType_ = nullptr;
  GetValueFn getValue_ = nullptr;
  LoadWFn loadW_ = nullptr;
  GetValueWFn getValueW_ = nullptr;
};

// The program directory, then the installed library directory.
QStringList TagPluginCandidates(const QString& programDir);

}  // namespace vortaq
