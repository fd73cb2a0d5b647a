// The main window's reactions: buttons, tabs, calendar and grid editing.
#include <QApplication>
#include <QCalendarWidget>
#include <QEvent>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/dialogs.h"
#include "core/listmodel.h"
#include "core/listselection.h"
#include "operations/operations.h"
#include "ui/cellediting.h"
#include "ui/flexgrid.h"
#include "ui/mainwindow.h"
#include "ui/printcommand.h"

namespace {

bool isWithin(const QWidget* widget, const QWidget* container) {
    return widget && (widget == container || container->isAncestorOf(widget));
}

}  // namespace

void MainWindow::connectEvents() {
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const auto command = static_cast<Command>(i);
        connect(buttons_[i], &QPushButton::clicked, this, [this, command] { runCommand(command); });
    }

    // SSTab1 and the selection name the same selected tab, whoever changes it.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab >= 0) shown_->selectTab(tab);
    });
    connect(shown_.get(), &ListSelection::currentTabChanged, this, [this](int tab) {
        if (tabs_->currentIndex() != tab) tabs_->setCurrentIndex(tab);
        showListOfTab(tab);
    });

    for (ListKind kind : kAllListKinds) {
        FlexGrid* listGrid = grid(kind);
        connect(listGrid, &FlexGrid::keyDown, this,
                [this, kind](int key) { applyGridKey(kind, key); });
        connect(listGrid, &FlexGrid::keyPress, this,
                [this, kind](int code) { typeIntoGrid(kind, code); });
        // A cell chosen: there is an entry to delete.
        connect(listGrid, &FlexGrid::gridClicked, this,
                [this] { commandButton(Command::Delete)->setEnabled(true); });
    }
    connect(grid(ListKind::Appointments), &FlexGrid::rightButtonDown, this,
            [this](const QPoint& pos) { postponeMenu()->popup(pos); });

    connect(calendar_, &QCalendarWidget::currentPageChanged, this,
            [this](int year, int month) { keepSelectedDayOnNewPage(year, month); });
    // The calendar taking the focus leaves no entry chosen to delete.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (isWithin(now, calendar_) && !isWithin(old, calendar_))
            commandButton(Command::Delete)->setEnabled(false);
    });
}

bool MainWindow::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    // The frame is known only once the window system has shown the window.
    if (!outerSizeFitted_ && prepared_ &&
        (event->type() == QEvent::Show || event->type() == QEvent::Move ||
         event->type() == QEvent::Resize))
        fitOuterSize();
    return result;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (watched != buttons_[i]) continue;
        if (event->type() == QEvent::FocusIn) {
            const QRect g = buttons_[i]->geometry();
            frameFocusedButton(g.top(), g.left(), g.height(), g.width());
        }
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
            highlightButton(static_cast<Command>(i));
        return QMainWindow::eventFilter(watched, event);
    }
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::Show)) {
        for (int tab = 0; tab < tabs_->count(); ++tab) {
            QWidget* page = tabs_->widget(tab);
            if (watched != page) continue;
            // The grid's place is counted from the tab control's corner, above
            // the page that holds it.
            const QPoint pageOrigin = page->mapTo(tabs_, QPoint(0, 0));
            grid(kindForTab(tab))->move(kGridPosition - pageOrigin);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::runCommand(Command command) {
    switch (command) {
        case Command::Today:
            calendar_->setSelectedDate(services_.clock->today());
            break;
        case Command::Print:
            runPrintCommand(agenda_, *services_.printer);
            break;
        case Command::Insert:
            insertEntry(agenda_, *shown_, calendar_->selectedDate());
            break;
        case Command::Delete:
            deleteEntry(agenda_, *shown_);
            break;
        case Command::Exit:
            askToSaveOnExit(agenda_, *shown_);
            Q_EMIT hideRequested();
            break;
        case Command::Save:
            saveAll(agenda_, shown_.get());
            break;
    }
}

void MainWindow::showListOfTab(int tab) {
    commandButton(Command::Delete)->setEnabled(false);
    // The frame takes the tab's colour and stays where it is.
    setFocusFrameFill(tabColour(tab));
    // Only the appointments print.
    commandButton(Command::Print)->setEnabled(tab == 0);
    const QString noun = QString::fromUtf8(traitsForTab(tab).noun);
    setButtonCaption(Command::Insert, QStringLiteral("&Inserisci ") + noun);
    setButtonCaption(Command::Delete, QStringLiteral("&Elimina ") + noun);
}

void MainWindow::applyGridKey(ListKind kind, int key) {
    ListModel& model = agenda_.list(kind);
    const QModelIndex cell = grid(kind)->currentIndex();
    const bool onEntry = cell.isValid() && cell.row() < model.entryCount();
    switch (cellediting::actionForKey(kind, key, onEntry)) {
        case cellediting::KeyAction::DropLastCharacter: {
            const QString text = model.text(cell.row(), cell.column());
            if (!text.isEmpty())
                model.setText(cell.row(), cell.column(), cellediting::withoutLastCharacter(text));
            agenda_.setListsModified(true);
            return;
        }
        case cellediting::KeyAction::ClearCell:
            model.setText(cell.row(), cell.column(), QString());
            agenda_.setListsModified(true);
            return;
        case cellediting::KeyAction::Save:
            if (commandButton(Command::Save)->isEnabled()) runCommand(Command::Save);
            return;
        case cellediting::KeyAction::None:
            return;
    }
}

void MainWindow::typeIntoGrid(ListKind kind, int charCode) {
    ListModel& model = agenda_.list(kind);
    const QModelIndex cell = grid(kind)->currentIndex();
    // With no entry under the cursor (an empty list) there is no cell to edit.
    if (!cell.isValid() || cell.row() >= model.entryCount()) return;
    const int row = cell.row();
    const int column = cell.column();

    if (const std::optional<QChar> typed = cellediting::typedCharacter(charCode)) {
        model.setText(row, column, cleanCellText(model.text(row, column) + *typed));
        agenda_.setListsModified(true);
    }
    if (cellediting::opensMessageEditor(charCode, column)) {
        const QString answer =
            agenda_.dialogs().input(QString(), QStringLiteral("Modifica"), model.text(row, column));
        // Cancel gives the empty text too: the message stays as it was.
        if (!answer.isEmpty()) {
            model.setText(row, column, cleanCellText(answer));
            agenda_.setListsModified(true);
        }
    }
}

void MainWindow::keepSelectedDayOnNewPage(int year, int month) {
    const QDate selected = calendar_->selectedDate();
    // A click on a day of the next or previous month brings its page with it:
    // that day is the user's choice and stays selected.
    if (selected.year() == year && selected.month() == month) return;
    const QDate first(year, month, 1);
    if (!first.isValid()) return;
    // A month shorter than today's day number gets its last day.
    const int day = std::min(services_.clock->today().day(), first.daysInMonth());
    calendar_->setSelectedDate(QDate(year, month, day));
}

void MainWindow::frameFocusedButton(int top, int left, int height, int width) {
    focusFrame_->hide();
    focusFrame_->setGeometry(left - 4, top - 4, width + 8, height + 8);
    focusFrame_->show();
}

// The button under the mouse wears the colour of the list on show.
void MainWindow::highlightButton(Command command) {
    const QColor colour = tabColour(shown_->currentTab());
    QPushButton* button = commandButton(command);
    if (button->palette().color(QPalette::Button) != colour) setButtonColour(button, colour);
}

void MainWindow::restoreButtonColours() {
    // The notification-area icon reports its clicks on its own channel, so a
    // move over the surface is always the mouse, even while the icon is shown.
    for (QPushButton* button : buttons_) {
        if (button->palette().color(QPalette::Button) != standardButtonColour_)
            setButtonColour(button, standardButtonColour_);
    }
}
