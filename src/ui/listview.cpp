#include "ui/listview.h"

#include <QColor>
#include <QModelIndex>

#include "core/listmodel.h"

namespace {

// One row a list, in the order of ListKind.
// clang-format off
const ListViewTraits kViewTraits[3] = {
    {ListKind::Appointments, "FGrid1", qRgb(128, 255, 255), qRgb(192, 255, 255),
     {950, 5000, 800, 0}},
    {ListKind::Deadlines, "FGrid2", qRgb(128, 255, 128), qRgb(192, 255, 192), {930, 5800, 0, 0}},
    {ListKind::Anniversaries, "FGrid3", qRgb(255, 255, 128), qRgb(255, 255, 192), {930, 5800, 0, 0}},
};
// clang-format on

}  // namespace

const ListViewTraits& viewTraits(ListKind kind) {
    return kViewTraits[static_cast<int>(kind)];
}

const ListViewTraits& viewTraitsForTab(int tab) {
    return viewTraits(kindForTab(tab));
}

QBrush cellBrush(const QModelIndex& index) {
    const QVariant colour = index.data(ListModel::CellColourRole);
    if (!colour.isValid()) return QBrush(Qt::white);
    return QBrush(QColor::fromRgba(colour.value<quint32>()));
}
