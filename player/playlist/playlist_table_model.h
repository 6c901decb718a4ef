// The playlist's rows for a QTableView: the entries in one vector, asked for
// only as far as the view shows them.
#pragma once

#include <QAbstractTableModel>

#include "playlist_model.h"

namespace vortaq::playlist {

class PlaylistTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit PlaylistTableModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

  const Entries& entries() const { return entries_; }
  int count() const { return static_cast<int>(entries_.size()); }
  const Entry& at(int row) const { return entries_[static_cast<size_t>(row)]; }
  // Exact, case-sensitive comparison of full paths.
  bool containsPath(const QString& path) const { return paths_.Contains(path); }

  void append(Entry entry);
  void append(Entries entries);
  // A new order or a new set of entries (moves, sort, shuffle, deletion).
  void setEntries(Entries entries);
  void clear() { setEntries({}); }
  // A re-check's result: new texts and possibly a new path for one row.
  void replace(int row, Entry entry);

  // Applies edit to the entries in one step; the view's selection is the
  // caller's to carry over.
  template <typename Edit>
  void edit(Edit edit) {
    beginResetModel();
    edit(entries_);
    paths_.Rebuild(entries_);
    endResetModel();
    emit countChanged(count());
  }

 signals:
  void countChanged(int count);

 private:
  Entries entries_;
  PathIndex paths_;
};

// Column headings and default widths.
QString ColumnHeading(int column);
int DefaultColumnWidth(int column);

}  // namespace vortaq::playlist
