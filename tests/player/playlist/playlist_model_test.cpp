#include "playlist/playlist_model.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QStringList>
#include <set>

namespace vortaq::playlist {
namespace {

Entries Make(const QStringList& names) {
  Entries entries;
  for (const QString& n : names) entries.emplace_back("/m/" + n, "detail " + n, "1");
  return entries;
}

QString Order(const Entries& entries) {
  QString out;
  for (const Entry& e : entries) out += e.name();
  return out;
}

Selection Select(const QString& all, const QString& chosen) {
  Selection s;
  for (QChar c : all) s.push_back(chosen.contains(c) ? 1 : 0);
  return s;
}

TEST(PlaylistModelTest, MovesKeepBlocksTogether) {
  using Move = bool (*)(Entries&, Selection&);
  struct Case {
    const char* name;
    Move move;
    QString selected;
    QString order;     // after the move
    QString selectedAfter;
  } cases[] = {
      {"top B,D", MoveToTop, "BD", "BADC", "BD"},
      {"up B,C", MoveUp, "BC", "BCAD", "BC"},
      {"up A,C: first selected, nothing moves", MoveUp, "AC", "ABCD", "AC"},
      {"bottom A,C", MoveToBottom, "AC", "BADC", "AC"},
      {"down B: C goes above it", MoveDown, "B", "ACBD", "B"},
      {"down D: last selected, nothing moves", MoveDown, "BD", "ABCD", "BD"},
      {"down A,B", MoveDown, "AB", "CABD", "AB"},
      {"top of the first entry keeps the order", MoveToTop, "AC", "ABCD", "AC"},
      {"bottom C,D", MoveToBottom, "CD", "ABCD", "CD"},
  };
  for (const Case& c : cases) {
    Entries entries = Make({"A", "B", "C", "D"});
    Selection selection = Select("ABCD", c.selected);
    c.move(entries, selection);
    EXPECT_EQ(Order(entries), c.order) << c.name;
    QString chosen;
    for (size_t i = 0; i < entries.size(); ++i)
      if (selection[i]) chosen += entries[i].name();
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen, c.selectedAfter) << c.name;
    // Moving keeps each entry's texts.
    for (const Entry& e : entries) EXPECT_EQ(e.detail(), "detail " + e.name()) << c.name;
  }
  Entries none = Make({"A", "B"});
  Selection nothing = Select("AB", "");
  EXPECT_FALSE(MoveToTop(none, nothing));
  EXPECT_FALSE(MoveUp(none, nothing));
  Entries empty;
  Selection emptySelection;
  EXPECT_FALSE(MoveDown(empty, emptySelection));
  EXPECT_FALSE(MoveToBottom(empty, emptySelection));
}

TEST(PlaylistModelTest, SelectionEdits) {
  Entries entries = Make({"A", "B", "C", "D"});
  Selection selection = Select("ABCD", "BD");
  InvertSelection(selection);
  EXPECT_EQ(selection, Select("ABCD", "AC"));
  EXPECT_EQ(RemoveSelected(entries, selection), 2u);
  EXPECT_EQ(Order(entries), "BD");
  EXPECT_EQ(selection, Select("BD", ""));
  SelectAll(selection);
  EXPECT_EQ(selection, Select("BD", "BD"));
}

TEST(PlaylistModelTest, SizesSortNumericallyAndJunkComesFirst) {
  Entries entries;
  for (const char* size : {"10,000", "9,999", "abc", "-5", "", "1,2,3", "99999999999999999999", "0"})
    entries.emplace_back(QStringLiteral("/m/") + size, "", size);
  SortByColumn(entries, kColumnSize, true);
  QStringList sizes;
  for (const Entry& e : entries) sizes << e.size();
  // Texts that are no number, in ordinal order, then the numbers.
  EXPECT_EQ(sizes, QStringList({"", "99999999999999999999", "abc", "-5", "0", "123", "9,999", "10,000"})
                       .replaceInStrings("123", "1,2,3"));
  SortByColumn(entries, kColumnSize, false);
  sizes.clear();
  for (const Entry& e : entries) sizes << e.size();
  EXPECT_EQ(sizes, QStringList({"10,000", "9,999", "1,2,3", "0", "-5", "abc", "99999999999999999999", ""}));

  int64_t value = 0;
  EXPECT_TRUE(ParseSizeText(u"9,223,372,036,854,775,807", &value));
  EXPECT_EQ(value, INT64_MAX);
  EXPECT_TRUE(ParseSizeText(u"-9223372036854775808", &value));
  EXPECT_EQ(value, INT64_MIN);
  EXPECT_FALSE(ParseSizeText(u"9223372036854775808", &value));
  EXPECT_FALSE(ParseSizeText(u",,,", &value));
  EXPECT_FALSE(ParseSizeText(u"1 000", &value));
}

TEST(PlaylistModelTest, TextColumnsSortByTheCollatorAndStably) {
  // The C locale would compare code points.
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  Entries entries;
  entries.emplace_back("/z/b.mp3", "same", "1");
  entries.emplace_back("/a/C.mp3", "same", "2");
  entries.emplace_back("/y/a.mp3", "same", "3");
  SortByColumn(entries, kColumnName, true);
  EXPECT_EQ(Order(entries), "a.mp3b.mp3C.mp3");  // not code-point order, where C comes first
  SortByColumn(entries, kColumnName, false);
  EXPECT_EQ(Order(entries), "C.mp3b.mp3a.mp3");
  SortByColumn(entries, kColumnPath, true);
  EXPECT_EQ(Order(entries), "C.mp3a.mp3b.mp3");
  // Equal keys keep their order in both directions.
  SortByColumn(entries, kColumnDetail, false);
  EXPECT_EQ(Order(entries), "C.mp3a.mp3b.mp3");
  QLocale::setDefault(saved);
}

TEST(PlaylistModelTest, ShuffleDrawsFromTheRemainingEntries) {
  Entries entries = Make({"A", "B", "C", "D", "E"});
  std::mt19937 generator(12345);
  std::mt19937 reference(12345);
  // The same draw by hand: r = next % remaining, take the r-th of the rest.
  QString left = "ABCDE", expected;
  while (!left.isEmpty()) {
    const int r = static_cast<int>(reference() % static_cast<uint32_t>(left.size()));
    expected += left[r];
    left.remove(r, 1);
  }
  Shuffle(entries, generator);
  EXPECT_EQ(Order(entries), expected);
  for (const Entry& e : entries) EXPECT_EQ(e.detail(), "detail " + e.name());

  Entries one = Make({"A"});
  Shuffle(one, generator);
  EXPECT_EQ(Order(one), "A");

  // Every order of three entries comes up.
  std::set<QString> seen;
  for (uint32_t seed = 0; seed < 200; ++seed) {
    Entries three = Make({"A", "B", "C"});
    std::mt19937 g(seed);
    Shuffle(three, g);
    seen.insert(Order(three));
  }
  EXPECT_EQ(seen.size(), 6u);
}

TEST(PlaylistModelTest, SearchWraps) {
  Entries entries = Make({"Alive.mp3", "b.mp3", "c.mp3", "LIVE2.mp3"});
  struct Case {
    bool forward;
    QString needle;
    int focus;
    int found;
  } cases[] = {
      {true, "live", 3, 0},    // wraps past the end
      {true, "live", -1, 3},   // no focus starts at 1
      {true, "live", 0, 3},
      {true, "b.mp3", 1, 1},   // the focused entry itself, after a whole round
      {true, "none", 1, -1},
      {false, "live", 0, 3},   // wraps below 0
      {false, "live", -1, 3},  // no focus starts below 0, so at the last entry
      {false, "live", 3, 0},
      {false, "c.mp3", 2, 2},
      {false, "none", 2, -1},
  };
  for (const Case& c : cases) {
    const int found = c.forward ? SearchForward(entries, c.needle, c.focus)
                                : SearchBackward(entries, c.needle, c.focus);
    EXPECT_EQ(found, c.found) << c.forward << " " << c.needle.toStdString() << " " << c.focus;
  }
  EXPECT_EQ(SearchForward({}, "a", -1), -1);
  EXPECT_EQ(SearchBackward({}, "a", -1), -1);
}

TEST(PlaylistModelTest, PlayOrder) {
  EXPECT_EQ(NextIndex(5, -1), 0);  // no focus: the first entry is played
  EXPECT_EQ(NextIndex(5, 2), 3);
  EXPECT_EQ(NextIndex(5, 4), 0);
  EXPECT_EQ(NextIndex(0, -1), -1);
  EXPECT_EQ(PreviousIndex(5, -1), 4);  // no focus: the last one
  EXPECT_EQ(PreviousIndex(5, 0), 4);
  EXPECT_EQ(PreviousIndex(5, 3), 2);
  EXPECT_EQ(PreviousIndex(0, 0), -1);

  std::mt19937 g(7), reference(7);
  EXPECT_EQ(RandomIndex(5, g), static_cast<int>(reference() % 5));
  EXPECT_EQ(RandomIndex(0, g), -1);
  EXPECT_EQ(ContinuationIndex(5, 4, false, g), 0);
  EXPECT_EQ(ContinuationIndex(5, 1, false, g), 2);
  EXPECT_EQ(ContinuationIndex(5, -1, false, g), -1);  // no focus, no random: nothing
  EXPECT_EQ(ContinuationIndex(5, -1, true, g), static_cast<int>(reference() % 5));
  EXPECT_EQ(ContinuationIndex(5, 2, true, g), static_cast<int>(reference() % 5));
  EXPECT_EQ(ContinuationIndex(0, -1, true, g), -1);
}

TEST(PlaylistModelTest, PathIndexCountsExactPaths) {
  PathIndex index;
  index.Add("/m/a.mp3");
  index.Add("/m/a.mp3");
  EXPECT_FALSE(index.Contains("/m/A.MP3"));
  index.Remove("/m/a.mp3");
  EXPECT_TRUE(index.Contains("/m/a.mp3"));
  index.Remove("/m/a.mp3");
  EXPECT_FALSE(index.Contains("/m/a.mp3"));
  index.Rebuild(Make({"x"}));
  EXPECT_TRUE(index.Contains("/m/x"));
}

TEST(PlaylistModelTest, NameIsTheLastPartOfThePath) {
  Entry e("/a/b/c.mp3", "", "");
  EXPECT_EQ(e.name(), "c.mp3");
  e.setPath("/a/d.mkv");
  EXPECT_EQ(e.name(), "d.mkv");
  EXPECT_EQ(Entry("plain", "", "").name(), "plain");
}

}  // namespace
}  // namespace vortaq::playlist
