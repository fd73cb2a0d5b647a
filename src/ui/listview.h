#pragma once

#include <QBrush>
#include <QRgb>

#include <array>

#include "core/listkind.h"

class QModelIndex;

// How one list looks on screen, in one table beside the lists' data traits.
struct ListViewTraits {
    ListKind kind;
    const char* gridName;            // "FGrid1"
    QRgb tabColour;                  // the tab's colour, also the grid's header colour
    QRgb emptyAreaColour;            // the grid's area below the last row
    std::array<int, 4> columnTwips;  // column widths; 0 hides a column
};

const ListViewTraits& viewTraits(ListKind kind);
const ListViewTraits& viewTraitsForTab(int tab);  // tab outside 0..2 gives the appointments

// The brush a grid paints a list cell with: the cell's own colour, or white
// for a cell without one.
QBrush cellBrush(const QModelIndex& index);
