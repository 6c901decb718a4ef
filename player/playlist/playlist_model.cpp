#include "playlist_model.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <ctime>
#include <limits>

namespace vortaq::playlist {

namespace {

int32_t NameStart(const QString& path) {
  return static_cast<int32_t>(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Positions still present, counted in a Fenwick tree so that the k-th present
// one is found in log n steps.
class PresentSet {
 public:
  explicit PresentSet(size_t n) : tree_(n + 1, 0) {
    for (size_t i = 1; i <= n; ++i) {
      tree_[i] += 1;
      const size_t parent = i + (i & (~i + 1));
      if (parent <= n) tree_[parent] += tree_[i];
    }
    top_ = 1;
    while (top_ * 2 <= n) top_ *= 2;
  }
  // Index of the k-th (from 0) present position; removes it.
  size_t TakeKth(size_t k) {
    size_t pos = 0;
    for (size_t step = top_; step > 0; step /= 2) {
      const size_t next = pos + step;
      if (next < tree_.size() && tree_[next] <= k) {
        pos = next;
        k -= tree_[next];
      }
    }
    for (size_t i = pos + 1; i < tree_.size(); i += i & (~i + 1)) --tree_[i];
    return pos;
  }

 private:
  std::vector<size_t> tree_;
  size_t top_ = 1;
};

}  // namespace

Entry::Entry(QString path, const QString& detail, const QString& size) {
  setPath(std::move(path));
  setTexts(detail, size);
}

void Entry::setPath(QString path) {
  path_ = std::move(path);
  // Texts built piece by piece carry spare room; a long list should not.
  if (path_.capacity() > path_.size()) path_.squeeze();
  nameStart_ = NameStart(path_);
}

void Entry::setTexts(const QString& detail, const QString& size) {
  texts_ = QString();
  texts_.reserve(detail.size() + size.size());
  texts_ += detail;
  texts_ += size;
  sizeStart_ = static_cast<int32_t>(detail.size());
}

void SelectAll(Selection& selection) { std::fill(selection.begin(), selection.end(), 1); }

void InvertSelection(Selection& selection) {
  for (char& s : selection) s = !s;
}

void Shuffle(Entries& entries, std::mt19937& generator) {
  const size_t n = entries.size();
  PresentSet present(n);
  Entries out;
  out.reserve(n);
  for (size_t left = n; left > 0; --left) {
    const size_t r = static_cast<size_t>(generator()) % left;
    out.push_back(std::move(entries[present.TakeKth(r)]));
  }
  entries = std::move(out);
}

bool ParseSizeText(QStringView text, int64_t* value) {
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto skipCommas = [&] {
    while (i < n && text[i] == QLatin1Char(',')) ++i;
  };
  skipCommas();
  bool negative = false;
  if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  uint64_t magnitude = 0;
  bool digits = false;
  for (; i < n; ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char(',')) continue;
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    const uint64_t digit = c.unicode() - '0';
    if (magnitude > (kLimit + (negative ? 1 : 0) - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
    digits = true;
  }
  if (!digits) return false;
  *value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

void SortByColumn(Entries& entries, int column, bool ascending) {
  Permute(entries, SortOrder(entries, column, ascending));
}

std::vector<uint32_t> SortOrder(const Entries& entries, int column, bool ascending) {
  const size_t n = entries.size();
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
  if (column == kColumnSize) {
    struct Key {
      bool number;
      int64_t value;
    };
    std::vector<Key> keys(n);
    for (size_t i = 0; i < n; ++i) keys[i].number = ParseSizeText(entries[i].sizeView(), &keys[i].value);
    auto less = [&](uint32_t a, uint32_t b) {
      const Key& x = keys[a];
      const Key& y = keys[b];
      if (x.number != y.number) return !x.number;
      if (x.number) return x.value < y.value;
      return entries[a].sizeView().compare(entries[b].sizeView()) < 0;
    };
    if (ascending)
      std::stable_sort(order.begin(), order.end(), less);
    else
      std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return less(b, a); });
  } else {
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    // One key per entry, then byte comparisons: far cheaper than asking the
    // collator n log n times.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (const Entry& e : entries) {
      const QStringView text = column == kColumnName     ? e.nameView()
                               : column == kColumnDetail ? e.detailView()
                                                         : QStringView(e.path());
      keys.push_back(collator.sortKey(text.toString()));
    }
    auto less = [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; };
    if (ascending)
      std::stable_sort(order.begin(), order.end(), less);
    else
      std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return less(b, a); });
  }
  return order;
}

bool NameMatches(const Entry& entry, const QString& needle) {
  return entry.nameView().toString().toLower().contains(needle);
}

int SearchForward(const Entries& entries, const QString& needle, int focus) {
  const int n = static_cast<int>(entries.size());
  if (n == 0) return -1;
  int start = focus < 0 ? 1 : focus + 1;
  if (start >= n) start = 0;
  for (int i = start; i < n; ++i)
    if (NameMatches(entries[i], needle)) return i;
  if (start != 0)
    for (int i = 0; i < n; ++i)
      if (NameMatches(entries[i], needle)) return i;
  return -1;
}

int SearchBackward(const Entries& entries, const QString& needle, int focus) {
  const int n = static_cast<int>(entries.size());
  if (n == 0) return -1;
  int start = (focus < 0 ? 0 : focus) - 1;
  if (start < 0 || start >= n) start = n - 1;
  for (int i = start; i >= 0; --i)
    if (NameMatches(entries[i], needle)) return i;
  if (start != n - 1)
    for (int i = n - 1; i >= start; --i)
      if (NameMatches(entries[i], needle)) return i;
  return -1;
}

int NextIndex(int count, int focus) {
  if (count <= 0) return -1;
  if (focus < 0 || focus >= count) focus = count - 1;
  return focus + 1 < count ? focus + 1 : 0;
}

int PreviousIndex(int count, int focus) {
  if (count <= 0) return -1;
  if (focus < 0 || focus >= count) focus = 0;
  return focus > 0 ? focus - 1 : count - 1;
}

int RandomIndex(int count, std::mt19937& generator) {
  if (count <= 0) return -1;
  return static_cast<int>(generator() % static_cast<uint32_t>(count));
}

int ContinuationIndex(int count, int focus, bool randomPlay, std::mt19937& generator) {
  if (count <= 0) return -1;
  if (focus >= 0 && focus < count)
    return randomPlay ? RandomIndex(count, generator) : (focus + 1 < count ? focus + 1 : 0);
  return randomPlay ? RandomIndex(count, generator) : -1;
}

std::mt19937 TimeSeededGenerator() {
  return std::mt19937(static_cast<uint32_t>(std::time(nullptr)));
}

void PathIndex::Remove(const QString& path) {
  auto it = counts_.find(path);
  if (it == counts_.end()) return;
  if (--it.value() <= 0) counts_.erase(it);
}

void PathIndex::Rebuild(const Entries& entries) {
  counts_.clear();
  counts_.reserve(static_cast<qsizetype>(entries.size()));
  for (const Entry& e : entries) Add(e.path());
}

}  // namespace vortaq::playlist
