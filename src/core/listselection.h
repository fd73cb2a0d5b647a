#pragma once

#include <QItemSelectionModel>
#include <QObject>

#include <array>
#include <memory>

#include "core/listkind.h"

class Agenda;
class ListModel;

// Where the user is in the lists: the selected tab and each list's current
// cell. The main window keeps one and its grids share its selection models;
// the commands that act on "the current entry" or "the list on show" read
// it. The agenda knows nothing of it.
class ListSelection : public QObject {
    Q_OBJECT
  public:
    explicit ListSelection(Agenda& agenda, QObject* parent = nullptr);
    ~ListSelection() override;

    // The current cell of each list; the grids share these selection models.
    QItemSelectionModel& selection(ListKind kind) {
        return *selections_[static_cast<size_t>(kind)];
    }
    // The model row of the list's current cell, or -1 when there is none.
    int currentRow(ListKind kind) const;
    void setCurrentCell(ListKind kind, int row, int column);

    // The selected tab (0, 1, 2) and its list. Selecting another tab emits
    // currentTabChanged, so the window's tab-change handling runs whoever
    // selects it.
    int currentTab() const { return currentTab_; }
    ListKind currentKind() const { return kindForTab(currentTab_); }
    ListModel& currentList();
    void selectTab(int tab);
    // Selects `tab` and emits currentTabChanged even when it is selected
    // already: the window's tab-change handling runs as after a click on it.
    void showTab(int tab);

  Q_SIGNALS:
    void currentTabChanged(int tab);

  private:
    Agenda& agenda_;
    std::array<std::unique_ptr<QItemSelectionModel>, 3> selections_;
    int currentTab_ = 0;
};
