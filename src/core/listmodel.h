#pragma once

#include <QAbstractTableModel>
#include <QList>

#include <QByteArray>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/agendaentry.h"
#include "core/listkind.h"

// The working copy of one list: the model the grid shows. Model row r is grid
// row r + 1, entry number r + 1: grid row 0 holds the headers, which come
// from headerData.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { ColDate = 0, ColMessage = 1, ColTime = 2, ColId = 3, ColumnCount = 4 };
    // The cell's colour as a quint32 ARGB value; no value when the cell has
    // none. The grid turns it into the brush it paints.
    enum Role { CellColourRole = Qt::UserRole + 1 };
    // The largest number of entries a list may hold.
    static constexpr int kMaxEntries = 32766;

    explicit ListModel(ListKind kind, QObject* parent = nullptr);

    ListKind kind() const { return kind_; }
    const ListTraits& traits() const { return listTraits(kind_); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int entryCount() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    AgendaEntry entry(int row) const;
    QList<AgendaEntry> entries() const;

    // Cell text by model row and column; out of range reads as empty.
    QString text(int row, int column) const;
    // Writes a cell as it is given; callers that take typed text clean it first.
    void setText(int row, int column, const QString& text);

    void append(const AgendaEntry& entry);
    void insertAt(int row, const AgendaEntry& entry);  // row == entryCount() appends
    void removeAt(int row);
    void replaceAll(const QList<AgendaEntry>& entries);
    // An entry to go before the row that is at `row` now (entryCount(): at
    // the end).
    struct PlacedEntry {
        int row = 0;
        AgendaEntry entry;
    };
    // Inserts many entries in one pass: `placed` in rising order of row,
    // entries for the same row in the order they come. The rows already in
    // the list keep their texts where they lie. Into a few places the rows
    // are inserted as such and the views keep their current cells; into
    // many the views start afresh.
    void insertEntries(const std::vector<PlacedEntry>& placed);
    void clear();

    // Appends every record of a list file's content, in file order, as the
    // records parseListRecords reads would be appended with entryFromRecord.
    // Rows whose texts read back unchanged keep them in the content until a
    // cell is shown or written, so a large list costs little more memory
    // than its file.
    void appendFileContent(const QByteArray& content);
    // What the list's file holds after a save: serializeList of entries().
    QByteArray fileContent() const;
    // The same content given to `sink` in pieces of some 64 KB, so that a
    // save needs no copy of the whole file; stops when `sink` fails.
    bool writeFileContent(const std::function<bool(const char*, qsizetype)>& sink) const;

    // For the passes over every row (the sort, the colours): the row's date
    // and time as indexes of the shared texts (time 0: none, else 1 + index),
    // or -1 when the row holds texts of its own.
    int sharedDate(int row) const {
        const Row& r = rows_[static_cast<size_t>(row)];
        return r.owned ? -1 : r.date;
    }
    int sharedTime(int row) const {
        const Row& r = rows_[static_cast<size_t>(row)];
        return r.owned ? -1 : r.time;
    }
    // Whether the row's message holds kNotYearlyMark, without making its
    // text; rows kept as the file's bytes remember the answer.
    bool markedNotYearly(int row) const;

    // Each row's identity while the program runs: given when the row is
    // made (read from a file, inserted, imported), kept while its texts are
    // edited and when the list is reordered, never given twice. The sync
    // follows an entry through edits by it.
    quint64 identity(int row) const { return rows_[static_cast<size_t>(row)].identity; }

    // Rearranges dates, messages and times so that new row i holds what old row
    // order[i] held. The ID cells and the cell colours stay with the row position.
    void reorderTexts(const std::vector<int>& order);

    // Cell background as an ARGB value; 0 means the grid's normal colour.
    quint32 cellBackground(int row, int column) const;
    void setCellBackground(int row, int column, quint32 argb);
    // Paints columns 0 to 2 of every row at once: colours[i] (ARGB, 0 for
    // the grid's normal colour) for row i.
    void paintRows(const std::vector<quint32>& colours);

  private:
    // Most rows hold no texts of their own: the message lies in content_ as
    // the file keeps it, and date and time are indexes of the shared texts
    // (see listrecords.h). A row whose texts cannot be kept so (a date or time
    // written otherwise, a text a file would change) or that was written
    // since owns its texts.
    struct Row {
        std::unique_ptr<AgendaEntry> owned;
        quint32 messageStart = 0;
        quint32 messageSize = 0;
        qint16 date = 0;  // shared date text
        qint16 time = 0;  // 0: none, else 1 + shared time text
        // Whether the message holds kNotYearlyMark: -1 until first asked.
        mutable qint8 notYearly = -1;
        quint64 identity = nextIdentity();
    };
    static quint64 nextIdentity();
    static QString& cell(AgendaEntry& entry, int column);
    QString cellText(const Row& row, int column) const;
    AgendaEntry& own(size_t row);
    // A row for the entry, with its message added to content_ when it can
    // be kept there.
    Row makeRow(const AgendaEntry& entry);
    void resetRows(std::vector<Row> rows, QByteArray content);

    ListKind kind_;
    std::vector<Row> rows_;
    // The file content the rows that own no texts point into, and the
    // messages of rows added since.
    QByteArray content_;
    // The cell colours by row, 0 = none; empty until a colour is set.
    std::vector<std::array<quint32, ColumnCount>> background_;
};
