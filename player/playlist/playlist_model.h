// The playlist's entries and the editing, search and play-order rules over
// them, as plain functions: no widgets, so every rule is testable without a
// screen. A selection is a vector of flags parallel to the entries.
#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <algorithm>
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
// nothing moved. Any element type: the window moves row numbers alongside to
// learn where the focus went.
template <typename T>
bool MoveUp(std::vector<T>& items, Selection& selection);
template <typename T>
bool MoveDown(std::vector<T>& items, Selection& selection);
// After these the first (last) entry is the one to select and focus.
template <typename T>
bool MoveToTop(std::vector<T>& items, Selection& selection);
template <typename T>
bool MoveToBottom(std::vector<T>& items, Selection& selection);

// Removes the selected items; returns how many.
template <typename T>
size_t RemoveSelected(std::vector<T>& items, Selection& selection);

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
// The same as the new order of the old indexes.
std::vector<uint32_t> SortOrder(const Entries& entries, int column, bool ascending);
// items[i] becomes the old items[order[i]].
template <typename T>
void Permute(std::vector<T>& items, const std::vector<uint32_t>& order);

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

// ---- templates ----

namespace detail {

// Puts the selected items at their index + shift and the others, in their
// order, into the slots left: what taking each selected item out and putting
// it back shift places away gives, in one pass.
template <typename T>
void PlaceSelected(std::vector<T>& items, Selection& selection, ptrdiff_t shift) {
  const size_t n = items.size();
  std::vector<T> out(n);
  Selection taken(n, 0);
  for (size_t i = 0; i < n; ++i) {
    if (!selection[i]) continue;
    const size_t to = static_cast<size_t>(static_cast<ptrdiff_t>(i) + shift);
    out[to] = std::move(items[i]);
    taken[to] = 1;
  }
  size_t slot = 0;
  for (size_t i = 0; i < n; ++i) {
    if (selection[i]) continue;
    while (taken[slot]) ++slot;
    out[slot++] = std::move(items[i]);
  }
  items = std::move(out);
  selection = std::move(taken);
}

}  // namespace detail

template <typename T>
bool MoveUp(std::vector<T>& items, Selection& selection) {
  const size_t n = items.size();
  if (n == 0 || selection[0]) return false;
  bool moved = false;
  for (size_t i = 1; i < n; ++i) {
    if (!selection[i]) continue;
    std::swap(items[i - 1], items[i]);
    std::swap(selection[i - 1], selection[i]);
    moved = true;
  }
  return moved;
}

template <typename T>
bool MoveDown(std::vector<T>& items, Selection& selection) {
  const size_t n = items.size();
  if (n == 0 || selection[n - 1]) return false;
  bool moved = false;
  for (size_t i = n - 1; i-- > 0;) {
    if (!selection[i]) continue;
    std::swap(items[i], items[i + 1]);
    std::swap(selection[i], selection[i + 1]);
    moved = true;
  }
  return moved;
}

template <typename T>
bool MoveToTop(std::vector<T>& items, Selection& selection) {
  const auto first = std::find(selection.begin(), selection.end(), 1);
  if (first == selection.end()) return false;
  detail::PlaceSelected(items, selection, -(first - selection.begin()));
  return true;
}

template <typename T>
bool MoveToBottom(std::vector<T>& items, Selection& selection) {
  const auto last = std::find(selection.rbegin(), selection.rend(), 1);
  if (last == selection.rend()) return false;
  const ptrdiff_t lastIndex = selection.rend() - last - 1;
  detail::PlaceSelected(items, selection, static_cast<ptrdiff_t>(items.size()) - 1 - lastIndex);
  return true;
}

template <typename T>
size_t RemoveSelected(std::vector<T>& items, Selection& selection) {
  size_t kept = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (selection[i]) continue;
    if (kept != i) items[kept] = std::move(items[i]);
    ++kept;
  }
  const size_t removed = items.size() - kept;
  items.resize(kept);
  selection.assign(kept, 0);
  return removed;
}

template <typename T>
void Permute(std::vector<T>& items, const std::vector<uint32_t>& order) {
  std::vector<T> out;
  out.reserve(order.size());
  for (uint32_t i : order) out.push_back(std::move(items[i]));
  items = std::move(out);
}

}  // namespace vortaq::playlist
