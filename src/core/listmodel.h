#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QList>

#include <array>
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
    // The largest number of entries a list may hold.
    static constexpr int kMaxEntries = 32766;

    explicit ListModel(ListKind kind, QObject* parent = nullptr);

    ListKind kind() const { return kind_; }
    const ListTraits& traits() const { return Traits(kind_); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int entryCount() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    const AgendaEntry& entry(int row) const { return rows_[static_cast<size_t>(row)].entry; }
    QList<AgendaEntry> entries() const;

    // Cell text by model row and column; out of range reads as empty.
    QString text(int row, int column) const;
    // Writes a cell as it is given; callers that take typed text clean it first.
    void setText(int row, int column, const QString& text);

    void append(const AgendaEntry& entry);
    void insertAt(int row, const AgendaEntry& entry);  // row == entryCount() appends
    void removeAt(int row);
    void replaceAll(const QList<AgendaEntry>& entries);
    void clear();

    // Rearranges dates, messages and times so that new row i holds what old row
    // order[i] held. The ID cells and the cell colours stay with the row position.
    void reorderTexts(const std::vector<int>& order);

    // Cell background; an invalid colour means the grid's normal colour.
    QColor cellBackground(int row, int column) const;
    void setCellBackground(int row, int column, const QColor& colour);
    // Paints columns 0 to 2 of every row at once: colours[i] for row i.
    void paintRows(const std::vector<QColor>& colours);

private:
    struct Row {
        AgendaEntry entry;
        std::array<QRgb, ColumnCount> background{};  // 0 = none
    };
    static QString& cell(AgendaEntry& entry, int column);
    static const QString& cell(const AgendaEntry& entry, int column);

    ListKind kind_;
    std::vector<Row> rows_;
};
