#include "core/listselection.h"

#include "core/agenda.h"
#include "core/listmodel.h"

ListSelection::ListSelection(Agenda& agenda, QObject* parent) : QObject(parent), agenda_(agenda) {
    for (ListKind kind : kAllListKinds)
        selections_[static_cast<size_t>(kind)] =
            std::make_unique<QItemSelectionModel>(&agenda.list(kind));
}

ListSelection::~ListSelection() = default;

int ListSelection::currentRow(ListKind kind) const {
    const QModelIndex idx = selections_[static_cast<size_t>(kind)]->currentIndex();
    return idx.isValid() ? idx.row() : -1;
}

void ListSelection::setCurrentCell(ListKind kind, int row, int column) {
    ListModel& model = agenda_.list(kind);
    QItemSelectionModel& sel = selection(kind);
    if (row < 0 || row >= model.entryCount()) {
        sel.clear();
        return;
    }
    sel.setCurrentIndex(model.index(row, column), QItemSelectionModel::ClearAndSelect);
}

ListModel& ListSelection::currentList() {
    return agenda_.list(currentKind());
}

void ListSelection::selectTab(int tab) {
    if (tab < 0 || tab > 2 || tab == currentTab_) return;
    currentTab_ = tab;
    Q_EMIT currentTabChanged(tab);
}

void ListSelection::showTab(int tab) {
    if (tab < 0 || tab > 2) return;
    currentTab_ = tab;
    Q_EMIT currentTabChanged(tab);
}
