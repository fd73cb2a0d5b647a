// The main window's reactions: buttons, tabs, calendar, grid editing, menus.
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QEvent>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/dialogs.h"
#include "core/listmodel.h"
#include "core/win1252.h"
#include "operations/operations.h"
#include "ui/filedialogs.h"
#include "ui/flexgrid.h"
#include "ui/form1.h"
#include "ui/formcarica.h"
#include "ui/printcommand.h"

namespace {

bool IsWithin(const QWidget* widget, const QWidget* container) {
    return widget && (widget == container || container->isAncestorOf(widget));
}

}  // namespace

void Form1::ConnectEvents() {
    for (int i = 0; i < 6; ++i)
        connect(Command1(i), &QPushButton::clicked, this, [this, i] { Command1_Click(i); });

    // SSTab1 and the agenda name the same selected tab, whoever changes it.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab >= 0) agenda_->selectTab(tab);
    });
    connect(agenda_.get(), &Agenda::currentTabChanged, this, [this](int tab) {
        if (tabs_->currentIndex() != tab) tabs_->setCurrentIndex(tab);
        SSTab1_Click(tab);
    });

    for (ListKind kind : kAllListKinds) {
        FlexGrid* grid = Grid(kind);
        connect(grid, &FlexGrid::keyDown, this,
                [this, kind](int key) { FGrid_KeyDown(kind, key); });
        connect(grid, &FlexGrid::keyPress, this,
                [this, kind](int code) { FGrid_KeyPress(kind, code); });
        connect(grid, &FlexGrid::gridClicked, this, [this] { FGrid_Click(); });
    }
    connect(Grid(ListKind::Appuntamenti), &FlexGrid::rightButtonDown, this,
            [this](const QPoint& pos) { FGrid1_MouseDown(pos); });

    connect(calendar_, &QCalendarWidget::currentPageChanged, this,
            [this](int year, int month) { Calendar1_NewPage(year, month); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (IsWithin(now, calendar_) && !IsWithin(old, calendar_)) Calendar1_GotFocus();
    });
}

bool Form1::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    // The frame is known only once the window system has shown the window.
    if (!outerSizeFitted_ && loaded_ &&
        (event->type() == QEvent::Show || event->type() == QEvent::Move ||
         event->type() == QEvent::Resize))
        FitOuterSize();
    return result;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 0; i < 6; ++i) {
        if (watched != buttons_[static_cast<size_t>(i)]) continue;
        if (event->type() == QEvent::FocusIn) Command1_GotFocus(i);
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
            Command1_MouseMove(i);
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
            Grid(KindForTab(tab))->move(kGridPosition - pageOrigin);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Command1_Click(int index) {
    switch (index) {
        case 0:
            calendar_->setSelectedDate(services_.clock->today());
            break;
        case 1:
            RunPrintCommand(*agenda_, *services_.printer);
            break;
        case 2:
            insertEntry(*agenda_, calendar_->selectedDate());
            break;
        case 3:
            deleteEntry(*agenda_);
            break;
        case 4:
            askToSaveOnExit(*agenda_);
            HideToTray();
            break;
        case 5:
            saveAll(*agenda_);
            break;
        default:
            break;
    }
}

void Form1::SSTab1_Click(int tab) {
    Command1(3)->setEnabled(false);
    // The frame takes the tab's colour and stays where it is.
    SetShape1Fill(TabColour(tab));
    Command1(1)->setEnabled(tab == 0);
    const QString noun = QString::fromUtf8(TraitsForTab(tab).noun);
    SetButtonCaption(2, QStringLiteral("&Inserisci ") + noun);
    SetButtonCaption(3, QStringLiteral("&Elimina ") + noun);
}

void Form1::FGrid_Click() {
    Command1(3)->setEnabled(true);
}

void Form1::FGrid_KeyDown(ListKind kind, int key) {
    ListModel& model = agenda_->list(kind);
    const QModelIndex cell = Grid(kind)->currentIndex();
    const bool onEntry = cell.isValid() && cell.row() < model.entryCount();
    switch (key) {
        case Qt::Key_Backspace:
            if (!onEntry) return;
            {
                QString text = model.text(cell.row(), cell.column());
                if (!text.isEmpty()) {
                    text.chop(1);
                    model.setText(cell.row(), cell.column(), text);
                }
            }
            agenda_->setListsModified(true);
            return;
        case Qt::Key_Delete:
            if (!onEntry) return;
            model.setText(cell.row(), cell.column(), QString());
            agenda_->setListsModified(true);
            return;
        case Qt::Key_F5:
            if (kind == ListKind::Appuntamenti && Command1(5)->isEnabled()) Command1_Click(5);
            return;
        default:
            return;
    }
}

void Form1::FGrid_KeyPress(ListKind kind, int charCode) {
    ListModel& model = agenda_->list(kind);
    const QModelIndex cell = Grid(kind)->currentIndex();
    // With no entry under the cursor (an empty list) there is no cell to edit.
    if (!cell.isValid() || cell.row() >= model.entryCount()) return;
    const int row = cell.row();
    const int column = cell.column();

    if ((charCode >= 32 && charCode <= 125) || (charCode >= 160 && charCode <= 255)) {
        const QString typed(win1252::charFromByte(static_cast<unsigned char>(charCode)));
        model.setText(row, column, CleanCellText(model.text(row, column) + typed));
        agenda_->setListsModified(true);
    }
    if (charCode == 13 && column == ListModel::ColMessage) {
        const QString answer = agenda_->dialogs().Input(QString(), QStringLiteral("Modifica"),
                                                        model.text(row, column));
        // Cancel gives the empty text too: the message stays as it was.
        if (!answer.isEmpty()) {
            model.setText(row, column, CleanCellText(answer));
            agenda_->setListsModified(true);
        }
    }
}

void Form1::FGrid1_MouseDown(const QPoint& globalPos) {
    popupSposta_->popup(globalPos);
}

void Form1::Calendar1_GotFocus() {
    Command1(3)->setEnabled(false);
}

void Form1::Calendar1_NewPage(int year, int month) {
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

void Form1::Command1_GotFocus(int index) {
    const QRect g = Command1(index)->geometry();
    FrameFocusedButton(g.top(), g.left(), g.height(), g.width());
}

void Form1::FrameFocusedButton(int top, int left, int height, int width) {
    shape_->hide();
    shape_->setGeometry(left - 4, top - 4, width + 8, height + 8);
    shape_->show();
}

void Form1::Command1_MouseMove(int index) {
    const QColor colour = TabColour(agenda_->currentTab());
    if (Command1(index)->palette().color(QPalette::Button) != colour)
        SetButtonColour(index, colour);
}

void Form1::Form_MouseMove() {
    // The notification-area icon reports its clicks on its own channel, so a
    // move over the surface is always the mouse, even while the icon is shown.
    for (int i = 0; i < 6; ++i) {
        if (Command1(i)->palette().color(QPalette::Button) != standardButtonColour_)
            SetButtonColour(i, standardButtonColour_);
    }
}

void Form1::ChooseSoundFile(QString Settings::*sound) {
    const QString name = services_.files->OpenFileName(QStringLiteral("*.wav (*.wav)"));
    if (name.isEmpty()) return;
    agenda_->storePathSetting(sound, QDir::toNativeSeparators(name));
}

void Form1::mnuNewMsgbox_Click() {
    Settings& settings = agenda_->settings();
    settings.newMessageBox = !settings.newMessageBox;
    mnuNewMsgbox_->setChecked(settings.newMessageBox);
    agenda_->saveSettings();
}

void Form1::mnuSfondo_Click() {
    FormCarica chooser(*agenda_, this);
    connect(&chooser, &FormCarica::backgroundChosen, this, &Form1::SetBackground);
    chooser.exec();
}
