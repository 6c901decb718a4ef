#include "playlist_table_model.h"

namespace vortaq::playlist {

QString ColumnHeading(int column) {
  switch (column) {
    case kColumnName: return QStringLiteral("ファイル名");
    case kColumnDetail: return QStringLiteral("詳細");
    case kColumnSize: return QStringLiteral("サイズ");
    case kColumnPath: return QStringLiteral("フルパス");
    default: return QString();
  }
}

int DefaultColumnWidth(int column) {
  static constexpr int kWidths[kColumnCount] = {150, 200, 100, 120};
  return column >= 0 && column < kColumnCount ? kWidths[column] : 100;
}

PlaylistTableModel::PlaylistTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int PlaylistTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count();
}

int PlaylistTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant PlaylistTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count()) return {};
  const Entry& e = at(index.row());
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case kColumnName: return e.name();
      case kColumnDetail: return e.detail();
      case kColumnSize: return e.size();
      case kColumnPath: return e.path();
      default: return {};
    }
  }
  if (role == Qt::TextAlignmentRole && index.column() == kColumnSize)
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  return {};
}

QVariant PlaylistTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return ColumnHeading(section);
  if (role == Qt::TextAlignmentRole && section == kColumnSize)
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  return {};
}

bool PlaylistTableModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || count <= 0 || row + count > this->count()) return false;
  beginRemoveRows({}, row, row + count - 1);
  const auto first = entries_.begin() + row;
  for (auto it = first; it != first + count; ++it) paths_.Remove(it->path());
  entries_.erase(first, first + count);
  endRemoveRows();
  emit countChanged(this->count());
  return true;
}

void PlaylistTableModel::append(Entry entry) {
  const int row = count();
  beginInsertRows({}, row, row);
  paths_.Add(entry.path());
  entries_.push_back(std::move(entry));
  endInsertRows();
  emit countChanged(count());
}

void PlaylistTableModel::append(Entries entries) {
  if (entries.empty()) return;
  const int row = count();
  beginInsertRows({}, row, row + static_cast<int>(entries.size()) - 1);
  entries_.reserve(entries_.size() + entries.size());
  for (Entry& e : entries) {
    paths_.Add(e.path());
    entries_.push_back(std::move(e));
  }
  endInsertRows();
  emit countChanged(count());
}

void PlaylistTableModel::setEntries(Entries entries) {
  beginResetModel();
  entries_ = std::move(entries);
  paths_.Rebuild(entries_);
  endResetModel();
  emit countChanged(count());
}

void PlaylistTableModel::replace(int row, Entry entry) {
  if (row < 0 || row >= count()) return;
  Entry& e = entries_[static_cast<size_t>(row)];
  paths_.Remove(e.path());
  paths_.Add(entry.path());
  e = std::move(entry);
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

}  // namespace vortaq::playlist
