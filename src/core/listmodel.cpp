#include "core/listmodel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "core/listrecords.h"
#include "core/win1252.h"

namespace {

// Whether message bytes hold the mark: the bytes of ASCII characters stand
// for themselves in Windows-1252, and no other byte decodes to one.
bool bytesHoldNotYearlyMark(const char* message, qsizetype size) {
    const char* end = message + size;
    return std::search(message, end, kNotYearlyMark.begin(), kNotYearlyMark.end()) != end;
}

}  // namespace

ListModel::ListModel(ListKind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind) {}

QString& ListModel::cell(AgendaEntry& entry, int column) {
    switch (column) {
        case ColDate:
            return entry.date;
        case ColMessage:
            return entry.message;
        case ColTime:
            return entry.time;
        default:
            return entry.id;
    }
}

QString ListModel::cellText(const Row& row, int column) const {
    if (row.owned) return cell(*row.owned, column);
    switch (column) {
        case ColDate:
            return sharedtexts::date(row.date);
        case ColMessage:
            return win1252::decode(content_.constData() + row.messageStart, row.messageSize);
        case ColTime:
            return row.time > 0 ? sharedtexts::time(row.time - 1) : QString();
        default:
            return {};
    }
}

AgendaEntry& ListModel::own(size_t row) {
    Row& r = rows_[row];
    if (!r.owned) {
        auto entry = std::make_unique<AgendaEntry>();
        for (int column = ColDate; column < ColId; ++column)
            cell(*entry, column) = cellText(r, column);
        r.owned = std::move(entry);
    }
    return *r.owned;
}

quint64 ListModel::nextIdentity() {
    static std::atomic<quint64> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

ListModel::Row ListModel::makeRow(const AgendaEntry& entry) {
    Row row;
    auto shared = [](const QString& text, int index, const QString& (*textOf)(int)) {
        return index >= 0 && textOf(index) == text;
    };
    // The date: "d/m" of one or two digits each, as the shared texts write it.
    int date = -1;
    const qsizetype slash = entry.date.indexOf(u'/');
    if (slash > 0 && slash < entry.date.size() - 1 && entry.date.size() <= 5) {
        bool dayOk = false, monthOk = false;
        const int day = QStringView(entry.date).left(slash).toInt(&dayOk);
        const int month = QStringView(entry.date).mid(slash + 1).toInt(&monthOk);
        if (dayOk && monthOk) date = sharedtexts::dateIndex(day, month);
    }
    // The time: none (0), or "h:mm" or "hh:mm" of a minute of the day (1 +
    // its index), else -1.
    int time = entry.time.isEmpty() ? 0 : -1;
    if (time < 0 && traits().hasTime && (entry.time.size() == 4 || entry.time.size() == 5) &&
        entry.time.at(entry.time.size() - 3) == u':') {
        bool hourOk = false, minuteOk = false;
        const int hour = QStringView(entry.time).left(entry.time.size() - 3).toInt(&hourOk);
        const int minute = QStringView(entry.time).right(2).toInt(&minuteOk);
        if (hourOk && minuteOk && hour >= 0 && hour < 24 && minute >= 0 && minute < 60)
            time = 1 + (entry.time.size() == 5 ? 24 * 60 : 0) + hour * 60 + minute;
    }
    const bool plainTexts =
        entry.id.isEmpty() && shared(entry.date, date, sharedtexts::date) &&
        (time == 0 || shared(entry.time, time - 1, sharedtexts::time)) &&
        content_.size() + entry.message.size() < std::numeric_limits<quint32>::max();
    // The message must come back from its bytes as it is, and be written as
    // they are: every character has a byte, and none is one a save cleans.
    bool plainMessage = plainTexts;
    for (qsizetype i = 0; plainMessage && i < entry.message.size(); ++i) {
        const QChar c = entry.message.at(i);
        plainMessage =
            win1252::isEncodable(c) && c != u'"' && c != u'\t' && c != u'\r' && c != u'\n';
    }
    if (!plainMessage) {
        row.owned = std::make_unique<AgendaEntry>(entry);
        return row;
    }
    row.date = static_cast<qint16>(date);
    row.time = static_cast<qint16>(time);
    row.messageStart = static_cast<quint32>(content_.size());
    row.messageSize = static_cast<quint32>(entry.message.size());
    row.notYearly = entry.message.contains(kNotYearlyMark);
    content_ += win1252::encode(entry.message);
    return row;
}

void ListModel::resetRows(std::vector<Row> rows, QByteArray content) {
    beginResetModel();
    rows_ = std::move(rows);
    background_.clear();
    content_ = std::move(content);
    endResetModel();
}

AgendaEntry ListModel::entry(int row) const {
    const Row& r = rows_[static_cast<size_t>(row)];
    if (r.owned) return *r.owned;
    return AgendaEntry{cellText(r, ColDate), cellText(r, ColMessage), cellText(r, ColTime), {}};
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : entryCount();
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entryCount() || index.column() >= ColumnCount) return {};
    const size_t row = static_cast<size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return cellText(rows_[row], index.column());
        case CellColourRole: {
            if (background_.empty()) return {};
            const quint32 c = background_[row][static_cast<size_t>(index.column())];
            if (c == 0) return {};
            return c;
        }
        default:
            return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return QString::fromLatin1(traits().headers[static_cast<size_t>(section)]);
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return {};
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= entryCount()) return false;
    setText(index.row(), index.column(), cleanCellText(value.toString()));
    return true;
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

QList<AgendaEntry> ListModel::entries() const {
    QList<AgendaEntry> out;
    out.reserve(entryCount());
    for (int r = 0; r < entryCount(); ++r) out.append(entry(r));
    return out;
}

QString ListModel::text(int row, int column) const {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return {};
    return cellText(rows_[static_cast<size_t>(row)], column);
}

void ListModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return;
    if (cellText(rows_[static_cast<size_t>(row)], column) == text) return;
    cell(own(static_cast<size_t>(row)), column) = text;
    const QModelIndex idx = index(row, column);
    Q_EMIT dataChanged(idx, idx, {Qt::DisplayRole, Qt::EditRole});
}

void ListModel::append(const AgendaEntry& entry) {
    insertAt(entryCount(), entry);
}

void ListModel::insertAt(int row, const AgendaEntry& entry) {
    row = std::clamp(row, 0, entryCount());
    beginInsertRows({}, row, row);
    rows_.insert(rows_.begin() + row, makeRow(entry));
    if (!background_.empty())
        background_.insert(background_.begin() + row, std::array<quint32, ColumnCount>{});
    endInsertRows();
}

void ListModel::removeAt(int row) {
    if (row < 0 || row >= entryCount()) return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    if (!background_.empty()) background_.erase(background_.begin() + row);
    endRemoveRows();
}

void ListModel::replaceAll(const QList<AgendaEntry>& entries) {
    beginResetModel();
    rows_.clear();
    background_.clear();
    content_.clear();
    rows_.reserve(static_cast<size_t>(entries.size()));
    for (const AgendaEntry& e : entries) rows_.push_back(makeRow(e));
    endResetModel();
}

void ListModel::insertEntries(const std::vector<PlacedEntry>& placed) {
    if (placed.empty()) return;
    // A few places: each run of new rows is inserted as such, so the views
    // and their current cells follow. Many: the list is made afresh at once.
    constexpr size_t kMaxRuns = 64;
    std::vector<std::pair<int, size_t>> runs;  // row, first of `placed` there
    for (size_t i = 0; i < placed.size() && runs.size() <= kMaxRuns; ++i) {
        const int row = std::clamp(placed[i].row, 0, entryCount());
        if (runs.empty() || runs.back().first != row) runs.push_back({row, i});
    }
    if (runs.size() <= kMaxRuns) {
        // From the last run back, so that the rows of earlier runs keep
        // their numbers.
        for (size_t r = runs.size(); r-- > 0;) {
            const auto [row, first] = runs[r];
            const size_t end = r + 1 < runs.size() ? runs[r + 1].second : placed.size();
            const int count = static_cast<int>(end - first);
            beginInsertRows({}, row, row + count - 1);
            std::vector<Row> made;
            made.reserve(end - first);
            for (size_t i = first; i < end; ++i) made.push_back(makeRow(placed[i].entry));
            rows_.insert(rows_.begin() + row, std::make_move_iterator(made.begin()),
                         std::make_move_iterator(made.end()));
            if (!background_.empty())
                background_.insert(background_.begin() + row, static_cast<size_t>(count),
                                   std::array<quint32, ColumnCount>{});
            endInsertRows();
        }
        return;
    }
    std::vector<Row> rows;
    rows.reserve(rows_.size() + placed.size());
    auto next = placed.cbegin();
    for (size_t r = 0; r <= rows_.size(); ++r) {
        for (; next != placed.cend() && static_cast<size_t>(std::max(next->row, 0)) <= r; ++next)
            rows.push_back(makeRow(next->entry));
        if (r < rows_.size()) rows.push_back(std::move(rows_[r]));
    }
    for (; next != placed.cend(); ++next) rows.push_back(makeRow(next->entry));
    // makeRow added the new messages to content_, which the rows point into.
    resetRows(std::move(rows), std::move(content_));
}

void ListModel::clear() {
    replaceAll({});
}

void ListModel::appendFileContent(const QByteArray& content) {
    // Rows of an empty list point into the content itself; rows added to a
    // list that has rows copy their messages, and offsets are 32 bits.
    const bool pointInto = rows_.empty() && content.size() < std::numeric_limits<quint32>::max();
    std::vector<Row> rows;
    rows.reserve(recordCountEstimate(content));
    forEachRecord(content, kind_, [&](const RawRecord& raw) {
        Row row;
        qsizetype start = 0, size = 0;
        const int date = sharedtexts::dateIndex(raw.day, raw.month);
        const int time = raw.sharedTime();
        if (pointInto && date >= 0 && time >= 0 && raw.plainMessage(start, size)) {
            row.date = static_cast<qint16>(date);
            row.time = static_cast<qint16>(time);
            row.messageStart = static_cast<quint32>(start);
            row.messageSize = static_cast<quint32>(size);
        } else if (pointInto) {
            row.owned = std::make_unique<AgendaEntry>(entryFromRecord(raw.decode(), kind_));
        } else {
            row = makeRow(entryFromRecord(raw.decode(), kind_));
        }
        rows.push_back(std::move(row));
    });
    if (rows.empty()) return;
    if (pointInto) {
        resetRows(std::move(rows), content);
        return;
    }
    const int first = entryCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (Row& r : rows) rows_.push_back(std::move(r));
    if (!background_.empty()) background_.resize(rows_.size());
    endInsertRows();
}

bool ListModel::markedNotYearly(int row) const {
    const Row& r = rows_[static_cast<size_t>(row)];
    if (r.owned) return r.owned->message.contains(kNotYearlyMark);
    if (r.notYearly < 0)
        r.notYearly = bytesHoldNotYearlyMark(content_.constData() + r.messageStart, r.messageSize);
    return r.notYearly > 0;
}

QByteArray ListModel::fileContent() const {
    QByteArray out;
    writeFileContent([&](const char* data, qsizetype size) {
        out.append(data, size);
        return true;
    });
    return out;
}

bool ListModel::writeFileContent(const std::function<bool(const char*, qsizetype)>& sink) const {
    const ListKind kind = kind_;
    const bool withTime = traits().hasTime;
    constexpr qsizetype kPiece = 64 * 1024;
    QByteArray piece(kPiece, Qt::Uninitialized);
    char* const begin = piece.data();
    char* end = begin;
    // After a sort the rows read their messages out of content order: the
    // message a few rows ahead is asked for early, so that it is in the
    // cache when its turn comes.
    constexpr size_t kAhead = 16;
    for (const Row& r : rows_) {
        const size_t i = static_cast<size_t>(&r - rows_.data());
        if (i + kAhead < rows_.size())
            __builtin_prefetch(content_.constData() + rows_[i + kAhead].messageStart);
        const qsizetype bound =
            r.owned ? recordSizeBound(*r.owned, kind) : 6 + 2 + r.messageSize + 3 + 5 + 2;
        if (end - begin + bound > kPiece) {
            if (end != begin && !sink(begin, end - begin)) return false;
            end = begin;
        }
        if (bound > kPiece) {
            // A record larger than a piece goes on its own.
            QByteArray record(bound, Qt::Uninitialized);
            const char* recordEnd =
                writeRecord(record.data(), entry(static_cast<int>(&r - rows_.data())), kind);
            if (!sink(record.constData(), recordEnd - record.constData())) return false;
            continue;
        }
        if (r.owned) {
            end = writeRecord(end, *r.owned, kind);
            continue;
        }
        // A row that owns no texts writes back the bytes it was read from.
        const QByteArray& prefix = sharedtexts::datePrefix(r.date);
        end = std::copy(prefix.cbegin(), prefix.cend(), end);
        *end++ = '"';
        const char* message = content_.constData() + r.messageStart;
        std::memcpy(end, message, r.messageSize);
        end += r.messageSize;
        *end++ = '"';
        if (withTime) {
            *end++ = ',';
            *end++ = '"';
            if (r.time > 0) {
                const QString& time = sharedtexts::time(r.time - 1);
                for (QChar c : time) *end++ = static_cast<char>(c.unicode());
            }
            *end++ = '"';
        }
        *end++ = '\r';
        *end++ = '\n';
    }
    return end == begin || sink(begin, end - begin);
}

void ListModel::reorderTexts(const std::vector<int>& order) {
    if (static_cast<int>(order.size()) != entryCount() || order.empty()) return;
    // The texts move with their rows; the ID cells stay with the positions.
    std::vector<std::pair<size_t, QString>> ids;
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].owned && !rows_[i].owned->id.isEmpty())
            ids.emplace_back(i, rows_[i].owned->id);
    for (auto& [row, id] : ids) rows_[row].owned->id.clear();
    // In place, one cycle of the permutation at a time.
    std::vector<bool> placed(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (placed[i]) continue;
        Row held = std::move(rows_[i]);
        size_t to = i;
        for (auto from = static_cast<size_t>(order[to]); from != i;
             to = from, from = static_cast<size_t>(order[to])) {
            rows_[to] = std::move(rows_[from]);
            placed[to] = true;
        }
        rows_[to] = std::move(held);
        placed[to] = true;
    }
    // A row that owns no texts has an empty ID: it must own them to take one.
    for (auto& [row, id] : ids) own(row).id = id;
    Q_EMIT dataChanged(index(0, ColDate), index(entryCount() - 1, ColTime),
                       {Qt::DisplayRole, Qt::EditRole});
}

quint32 ListModel::cellBackground(int row, int column) const {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return 0;
    if (background_.empty()) return 0;
    return background_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void ListModel::setCellBackground(int row, int column, quint32 argb) {
    if (row < 0 || row >= entryCount() || column < 0 || column >= ColumnCount) return;
    if (background_.empty()) background_.resize(rows_.size());
    background_[static_cast<size_t>(row)][static_cast<size_t>(column)] = argb;
    const QModelIndex idx = index(row, column);
    Q_EMIT dataChanged(idx, idx, {CellColourRole});
}

void ListModel::paintRows(const std::vector<quint32>& colours) {
    const int n = std::min(entryCount(), static_cast<int>(colours.size()));
    if (n == 0) return;
    if (background_.empty()) background_.resize(rows_.size());
    for (int r = 0; r < n; ++r) {
        const quint32 v = colours[static_cast<size_t>(r)];
        auto& bg = background_[static_cast<size_t>(r)];
        bg[ColDate] = bg[ColMessage] = bg[ColTime] = v;
    }
    Q_EMIT dataChanged(index(0, ColDate), index(n - 1, ColTime), {CellColourRole});
}
