#include "core/listmodel.h"

#include <QBrush>

ListModel::ListModel(ListKind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind) {
    setObjectName(QString::fromLatin1(Traits(kind).gridName) + QStringLiteral("Model"));
}

QString& ListModel::cell(AgendaEntry& entry, int column) {
    switch (column) {
        case ColDate: return entry.date;
        case ColMessage: return entry.message;
        case ColTime: return entry.time;
        default: return entry.id;
    }
}

const QString& ListModel::cell(const AgendaEntry& entry, int column) {
    return cell(const_cast<AgendaEntry&>(entry), column);
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : entryCount();
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entryCount() || index.column() >= ColumnCount) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return cell(row.entry, index.column());
        case Qt::BackgroundRole: {
            const QRgb c = row.background[static_cast<size_t>(index.column())];
            if (c == 0) return {};
            return QBrush(QColor::fromRgb(c));
        }
        default:
            return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return QString::fromLatin1(traits().headers[static_cast<size_t>(section)]);
        if (role == Qt::BackgroundRole) return QBrush(QColor::fromRgb(traits().tabColour));
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return {};
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= entryCount()) return false;
    setText(index.row(), index.column(), CleanCellText(value.toString()));
    return true;
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

QList<AgendaEntry> ListModel::entries() const {
    QList<AgendaEntry> out;
    out.reserve(entryCount());
    for (const Row& r : rows_) out.append(r.entry);
    return out;
}

QString ListModel::text(int row, int column) const {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return {};
    return cell(rows_[static_cast<size_t>(row)].entry, column);
}

void ListModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return;
    QString& c = cell(rows_[static_cast<size_t>(row)].entry, column);
    if (c == text) return;
    c = text;
    const QModelIndex idx = index(row, column);
    Q_EMIT dataChanged(idx, idx, {Qt::DisplayRole, Qt::EditRole});
}

void ListModel::append(const AgendaEntry& entry) { insertAt(entryCount(), entry); }

void ListModel::insertAt(int row, const AgendaEntry& entry) {
    row = std::clamp(row, 0, entryCount());
    beginInsertRows({}, row, row);
    rows_.insert(rows_.begin() + row, Row{entry, {}});
    endInsertRows();
}

void ListModel::removeAt(int row) {
    if (row < 0 || row >= entryCount()) return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void ListModel::replaceAll(const QList<AgendaEntry>& entries) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(static_cast<size_t>(entries.size()));
    for (const AgendaEntry& e : entries) rows_.push_back(Row{e, {}});
    endResetModel();
}

void ListModel::clear() { replaceAll({}); }

void ListModel::reorderTexts(const std::vector<int>& order) {
    if (static_cast<int>(order.size()) != entryCount() || order.empty()) return;
    std::vector<AgendaEntry> moved;
    moved.reserve(order.size());
    for (int from : order) moved.push_back(rows_[static_cast<size_t>(from)].entry);
    for (size_t i = 0; i < moved.size(); ++i) {
        AgendaEntry& e = rows_[i].entry;
        e.date = std::move(moved[i].date);
        e.message = std::move(moved[i].message);
        e.time = std::move(moved[i].time);
    }
    Q_EMIT dataChanged(index(0, ColDate), index(entryCount() - 1, ColTime),
                       {Qt::DisplayRole, Qt::EditRole});
}

QColor ListModel::cellBackground(int row, int column) const {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return {};
    const QRgb c = rows_[static_cast<size_t>(row)].background[static_cast<size_t>(column)];
    return c == 0 ? QColor() : QColor::fromRgb(c);
}

void ListModel::setCellBackground(int row, int column, const QColor& colour) {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return;
    rows_[static_cast<size_t>(row)].background[static_cast<size_t>(column)] =
        colour.isValid() ? (colour.rgb() | 0xFF000000u) : 0;
    const QModelIndex idx = index(row, column);
    Q_EMIT dataChanged(idx, idx, {Qt::BackgroundRole});
}

void ListModel::paintRows(const std::vector<QColor>& colours) {
    const int n = std::min(entryCount(), static_cast<int>(colours.size()));
    if (n == 0) return;
    for (int r = 0; r < n; ++r) {
        const QColor& c = colours[static_cast<size_t>(r)];
        const QRgb v = c.isValid() ? (c.rgb() | 0xFF000000u) : 0;
        auto& bg = rows_[static_cast<size_t>(r)].background;
        bg[ColDate] = bg[ColMessage] = bg[ColTime] = v;
    }
    Q_EMIT dataChanged(index(0, ColDate), index(n - 1, ColTime), {Qt::BackgroundRole});
}
