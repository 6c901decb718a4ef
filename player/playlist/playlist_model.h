// The playlist's entries and the editing, search and play-order rules over
// them, as plain functions: no widgets, so every rule is testable without a
// screen. A selection is a vector of flags parallel to the entries.
#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <random>
#include <vector>

namespace vortaq::playlist {

// One row. The file name is the last part of the path and is not stored apart;
// the detail and the size share one text, so that a list of 100,000 costs
// little beyond its texts.
class Entry {
 public:
  Entry() = default;
  Entry(QString path, const QString& detail, const QString& size);

  const QString& path() const { return path_; }
  QStringView nameView() const { return QStringView(path_).mid(nameStart_); }
  QStringView detailView() const { return QStringView(texts_).left(sizeStart_); }
  QStringView sizeView() const { return QStringView(texts_).mid(sizeStart_); }
  QString name() const { return nameView().toString(); }
  QString detail() const { return detailView().toString(); }
  QString size() const { return sizeView().toString(); }

  void setPath(QString path);
  void setTexts(const QString& detail, const QString& size);

 private:
  QString path_;
  QString texts_;  // detail, then size
  int32_t nameStart_ = 0;
  int32_t sizeStart_ = 0;
};

using Entries = std::vector<Entry>;
using Selection = std::vector<char>;  // one flag per entry

// The four columns, in display order.
enum Column { kColumnName = 0, kColumnDetail = 1, kColumnSize = 2, kColumnPath = 3, kColumnCount = 4 };

// Moves keep each entry's selection flag with it. Each returns false when
// nothing moved.
bool MoveUp(Entries& entries, Selection& selection);
bool MoveDown(Entries& entries, Selection& selection);
// After these the first (last) entry is the one to select and focus.
bool MoveToTop(Entries& entries, Selection& selection);
bool MoveToBottom(Entries& entries, Selection& selection);

// Removes the selected entries; returns how many.
size_t RemoveSelected(Entries& entries, Selection& selection);

void SelectAll(Selection& selection);
void InvertSelection(Selection& selection);

// Draws entries one at a time with generator() % remaining from the entries
// still left, keeping the order of the rest: every permutation can result, and
// the same seed gives the same order.
void Shuffle(Entries& entries, std::mt19937& generator);

// A size text as a number: commas removed, then a signed 64-bit integer.
// False for anything else (empty, letters, overflow).
bool ParseSizeText(QStringView text, int64_t* value);
// Stable. Texts compare with a collator of the user's locale, case and width
// counting; sizes numerically, and texts that are no number come before every
// number (in ordinal order among themselves).
void SortByColumn(Entries& entries, int column, bool ascending);

// Whether the lower-cased file name contains needle (already lower case).
bool NameMatches(const Entry& entry, const QString& needle);
// Index of the next match after focus (wrapping), or -1; focus -1 for none.
int SearchForward(const Entries& entries, const QString& needle, int focus);
int SearchBackward(const Entries& entries, const QString& needle, int focus);

// The entry to play next; -1 when the list is empty. Without a focus the
// search for the next starts from the last entry, for the previous from the
// first.
int NextIndex(int count, int focus);
int PreviousIndex(int count, int focus);
int RandomIndex(int count, std::mt19937& generator);
// The end-of-file continuation (the caller checks that the window is shown and
// list play is on): -1 when nothing is to be opened.
int ContinuationIndex(int count, int focus, bool randomPlay, std::mt19937& generator);

// Seeded as the program does: the current time in seconds.
std::mt19937 TimeSeededGenerator();

// Full paths in the list, counted, for the exact-path duplicate test.
class PathIndex {
 public:
  void Add(const QString& path) { ++counts_[path]; }
  void Remove(const QString& path);
  void Clear() { counts_.clear(); }
  void Rebuild(const Entries& entries);
  bool Contains(const QString& path) const { return counts_.contains(path); }

 private:
  QHash<QString, int> counts_;
};

}  // namespace vortaq::playlist
