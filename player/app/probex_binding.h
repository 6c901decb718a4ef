// The player's side of the analysis library: loading libprobex.so at run time,
// binding and checking its ten exports, and driving one analysis.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/shared_library.h"
#include "probex.h"

namespace vortaq {

// A path fits the record when its UTF-16 text and a terminator fit in path[].
bool FitsRecord(const QString& path);
// Zero-fills nothing: writes path (which must fit) and its terminator.
void StorePath(MediaInfo* info, const QString& path);
QString PathOfRecord(const MediaInfo& info);

// The library's CP932 text as UTF-16; bytes that are no CP932 become U+FFFD.
QString Cp932ToUnicode(const QByteArray& text);

// fileSize with a comma before every group of three digits: 1234567 -> 1,234,567.
QString SizeText(qint64 size);

class ProbexBinding {
 public:
  ProbexBinding() = default;
  // A batch's worker stuck in a hung file may still be running library code
  // when the program ends: the library stays mapped until the process goes.
  ~ProbexBinding() { library_.Release(); }
  ProbexBinding(const ProbexBinding&) = delete;
  ProbexBinding& operator=(const ProbexBinding&) = delete;

  // Loads the first candidate file that exists (the first one when none does),
  // binds the exports, checks them and sets the template directory. Returns ""
  // on success, else the message to show; nothing stays loaded then.
  QString Bind(const QStringList& candidates, const QString& templateDir);
  void Unbind();
  bool bound() const { return library_.isOpen(); }
  int version() const { return version_; }

  // First steps of every analysis: zero-fill, store the path, detect, and run
  // the extension correction when checkExt. False when the path does not fit
  // the record: then nothing was analysed.
  bool Detect(const QString& path, bool checkExt, MediaInfo* info) const;
  // GetFileInfo and the multi-line report.
  QString FullReport(MediaInfo* info) const;
  // GetFileInfo and the one-line summary.
  QString OneLine(MediaInfo* info) const;

 private:
  using IntFn = int32_t (*)();
  using SetPathFn = int32_t (*)(const probex_char16*);
  using InfoFn = void (*)(MediaInfo*);
  using FullFn = char* (*)(const MediaInfo*, char*);
  using OneFn = void (*)(const MediaInfo*, char*);
  using LenFn = int32_t (*)(const MediaInfo*);

  SharedLibrary library_;
  int version_ = 0;
  IntFn getDllVersion_ = nullptr;
  IntFn unicode_ = nullptr;
  SetPathFn setPath_ = nullptr;
  InfoFn getFileFormat_ = nullptr;
  InfoFn getFileInfo_ = nullptr;
  InfoFn getFileInfoAuto_ = nullptr;  // bound and checked, never called
  FullFn convertFull_ = nullptr;
  OneFn convertOne_ = nullptr;
  LenFn convertFullLen_ = nullptr;
  LenFn convertOneLen_ = nullptr;
};

// Where the library is looked for: the program directory, then the installed
// library directory.
QStringList ProbexCandidates(const QString& programDir);

}  // namespace vortaq
