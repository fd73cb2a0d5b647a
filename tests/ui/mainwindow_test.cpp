// The main window driven as a user drives it, with a fake clock, scripted
// boxes and a temporary data folder. Grouped by window area.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCalendarWidget>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QtTest/QTest>

#include <memory>

#include "app/application.h"
#include "core/agenda.h"
#include "core/listmodel.h"
#include "core/version.h"
#include "notify/alarmwindow.h"
#include "operations/operations.h"
#include "support/windowrig.h"
#include "ui/backgroundchooser.h"
#include "ui/flexgrid.h"
#include "ui/mainwindow.h"

namespace {

// One main window over a fresh data folder, with the places a test points at.
struct Harness : WindowRig {
    QWidget* surface() { return form->centralWidget(); }
    QRect cellRect(ListKind kind, int row, int column) {
        FlexGrid* g = grid(kind);
        return g->visualRect(g->model()->index(row, column));
    }
};

QByteArray settingsBytes(bool ascending, bool newMsg) {
    SettingsFile settings;
    settings.ascending = ascending;
    settings.newMsg = newMsg;
    return settings.bytes();
}

void typeChar(QWidget* widget, QChar ch) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void moveMouseOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QColor buttonColour(QPushButton* b) {
    return b->palette().color(QPalette::Button);
}

}  // namespace

// ---------------------------------------------------------------- start-up
class StartupTests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void emptyFolderGetsThreeEmptyFilesAndTodayOnTabZero() {
        Harness h;
        h.clock.set(QDate(2026, 5, 20));
        h.start();
        for (const char* name : {"Ricordel.dat", "Date.dat", "Ricorrenze.dat"}) {
            QVERIFY2(h.folder.exists(QString::fromLatin1(name)), name);
            QCOMPARE(h.folder.read(QString::fromLatin1(name)), QByteArray());
        }
        for (ListKind kind : kAllListKinds) QCOMPARE(h.grid(kind)->model()->rowCount(), 0);
        QCOMPARE(h.form->tabs()->currentIndex(), 0);
        QCOMPARE(h.shown().currentTab(), 0);
        QCOMPARE(h.form->calendar()->selectedDate(), QDate(2026, 5, 20));
        QCOMPARE(h.form->windowTitle(),
                 QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT));
        QVERIFY(!h.agenda().listsModified());
        QVERIFY(!h.button(Command::Delete)->isEnabled());
        QVERIFY(h.button(Command::Print)->isEnabled());
        QCOMPARE(h.agenda().dataFolder(), h.folder.path());
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void preparedFilesFillTheGridsAsViewsOfTheLists() {
        Harness h;
        h.folder.write("Ricordel.dat",
                       "7,3,\"Dentista\",\"9:30\"\r\n8,3,\"Riunione, sala 2\",\"\"\r\n");
        h.folder.write("Date.dat", "15,4,\"Scade bollo\"\r\n");
        h.folder.write("Ricorrenze.dat", "1,5,\"E' il Compleanno di Anna\"\r\n");
        h.start();
        FlexGrid* g1 = h.grid(ListKind::Appointments);
        QCOMPARE(g1->model()->rowCount(), 2);
        QCOMPARE(g1->model()->index(0, 1).data().toString(), QStringLiteral("Dentista"));
        QCOMPARE(g1->model()->index(1, 1).data().toString(), QStringLiteral("Riunione, sala 2"));
        QCOMPARE(g1->model()->index(0, 2).data().toString(), QStringLiteral("9:30"));
        QCOMPARE(h.grid(ListKind::Deadlines)->model()->index(0, 0).data().toString(),
                 QStringLiteral("15/4"));
        QCOMPARE(h.grid(ListKind::Anniversaries)->model()->index(0, 1).data().toString(),
                 QStringLiteral("E' il Compleanno di Anna"));
        // The operations see the cell the user picks in the grid.
        for (ListKind kind : kAllListKinds) {
            QCOMPARE(h.grid(kind)->selectionModel(), &h.shown().selection(kind));
            QCOMPARE(h.grid(kind)->model(), &h.agenda().list(kind));
        }
        // Loading does not count as an edit, and nothing was rewritten.
        QVERIFY(!h.agenda().listsModified());
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("15,4,\"Scade bollo\"\r\n"));
    }

    void menuCheckMarksFollowStoredSettings_data() {
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<bool>("newMsg");
        QTest::newRow("ascending, assistant") << true << true;
        QTest::newRow("descending, reminder box") << false << false;
    }
    void menuCheckMarksFollowStoredSettings() {
        QFETCH(bool, ascending);
        QFETCH(bool, newMsg);
        Harness h;
        h.folder.write("Ricordel.ini", settingsBytes(ascending, newMsg));
        h.start();
        QCOMPARE(h.item("mnuOrdCre")->isChecked(), ascending);
        QCOMPARE(h.item("mnuOrdDec")->isChecked(), !ascending);
        QCOMPARE(h.item("mnuNewMsgbox")->isChecked(), newMsg);
        QCOMPARE(h.agenda().settings().daysOfNotice, qint16(5));
    }

    void windowSizeAndTabOrder() {
        Harness h;
        h.start();
        h.show();
        QCOMPARE(h.form->frameGeometry().size(), QSize(800, 600));
        QWidget* w = h.button(Command::Today);
        for (Command next : {Command::Insert, Command::Print, Command::Save, Command::Exit}) {
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled()) w = w->nextInFocusChain();
            QCOMPARE(w, h.button(next));
        }
    }

    void gridColumnsAndColours() {
        Harness h;
        h.start();
        FlexGrid* g1 = h.grid(ListKind::Appointments);
        FlexGrid* g2 = h.grid(ListKind::Deadlines);
        // The appointments show date, message and time; the others no time.
        QVERIFY(!g1->isColumnHidden(2));
        QVERIFY(g1->isColumnHidden(3));
        QVERIFY(g1->columnWidth(1) > g1->columnWidth(0));
        QVERIFY(g2->isColumnHidden(2));
        QVERIFY(g2->isColumnHidden(3));
        QVERIFY(!g2->verticalHeader()->isVisible() || g2->verticalHeader()->isHidden());
        QCOMPARE(g1->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("ORA"));
        QCOMPARE(g1->palette().color(QPalette::Base), QColor(192, 255, 255));
        QCOMPARE(g2->palette().color(QPalette::Base), QColor(192, 255, 192));
        QCOMPARE(h.grid(ListKind::Anniversaries)->palette().color(QPalette::Base),
                 QColor(255, 255, 192));
    }

    void menuBarAndTrayMenu() {
        Harness h;
        h.start();
        QStringList barTitles;
        for (QAction* a : h.form->menuBar()->actions()) barTitles << a->text();
        QCOMPARE(barTitles, (QStringList{"&Impostazioni", "&Visualizza", "?"}));
        QStringList trayItems;
        for (QAction* a : h.app->tray().menu()->actions())
            trayItems << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(trayItems, (QStringList{"&Visualizza i RICORDEL", "&Apri PROGRAMMA ricordel", "-",
                                         "&Prova allarme", "&Sincronizza ora", "-", "&Chiudi"}));
    }

    void controlsAreNamedForAssistiveTechnology() {
        Harness h;
        h.folder.write("Ricordel.dat", "7,3,\"Dentista\",\"9:30\"\r\n");
        h.start();
        QCOMPARE(h.button(Command::Today)->accessibleName(), QStringLiteral("Oggi"));
        QCOMPARE(h.button(Command::Insert)->accessibleName(),
                 QStringLiteral("Inserisci Appuntamento"));
        QCOMPARE(h.button(Command::Save)->accessibleName(), QStringLiteral("SALVA"));
        QAccessibleInterface* table =
            QAccessible::queryAccessibleInterface(h.grid(ListKind::Appointments));
        QVERIFY(table && table->tableInterface());
        QAccessibleInterface* cell = table->tableInterface()->cellAt(0, 1);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("Dentista"));
    }
};

// ------------------------------------------------------------- grid editing
class GridEditingTests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void typedCharactersAppendWithinTheCodeRanges() {
        Harness h;
        h.folder.write("Date.dat", "15,4,\"Scade bollo\"\r\n");
        h.start();
        h.shown().selectTab(1);
        h.shown().setCurrentCell(ListKind::Deadlines, 0, 1);
        FlexGrid* g = h.grid(ListKind::Deadlines);
        QTest::keyClick(g, '~');
        QCOMPARE(h.agenda().list(ListKind::Deadlines).text(0, 1), QStringLiteral("Scade bollo"));
        QVERIFY(!h.agenda().listsModified());
        QTest::keyClick(g, ' ');
        typeChar(g, QChar(0xE8));    // e grave, code 232
        typeChar(g, QChar(0x20AC));  // the euro sign is code 128: outside both ranges
        typeChar(g, QChar(0x0141));  // not in the code page: "?", as the file keeps it
        QCOMPARE(h.agenda().list(ListKind::Deadlines).text(0, 1),
                 QStringLiteral("Scade bollo \u00E8?"));
        QVERIFY(h.agenda().listsModified());
        // Alt with a letter is an access key, and Ctrl with one a command: not typing.
        QTest::keyClick(g, 'x', Qt::AltModifier);
        QTest::keyClick(g, 'x', Qt::ControlModifier);
        QCOMPARE(h.agenda().list(ListKind::Deadlines).text(0, 1),
                 QStringLiteral("Scade bollo \u00E8?"));
        // A double quote could not be written to the file: it becomes an apostrophe.
        QTest::keyClick(g, '"');
        QCOMPARE(h.agenda().list(ListKind::Deadlines).text(0, 1),
                 QStringLiteral("Scade bollo \u00E8?'"));
    }

    void backspaceAndDelete() {
        Harness h;
        h.folder.write("Ricorrenze.dat", "1,5,\"Anna\"\r\n2,6,\"\"\r\n");
        h.start();
        h.shown().selectTab(2);
        FlexGrid* g = h.grid(ListKind::Anniversaries);
        ListModel& list = h.agenda().list(ListKind::Anniversaries);
        h.shown().setCurrentCell(ListKind::Anniversaries, 0, 1);
        QTest::keyClick(g, Qt::Key_Backspace);
        QCOMPARE(list.text(0, 1), QStringLiteral("Ann"));
        QVERIFY(h.agenda().listsModified());

        h.agenda().setListsModified(false);
        h.shown().setCurrentCell(ListKind::Anniversaries, 1, 1);
        QTest::keyClick(g, Qt::Key_Backspace);  // empty cell: still an edit
        QCOMPARE(list.text(1, 1), QString());
        QVERIFY(h.agenda().listsModified());

        h.agenda().setListsModified(false);
        h.shown().setCurrentCell(ListKind::Anniversaries, 0, 0);
        QTest::keyClick(g, Qt::Key_Delete);
        QCOMPARE(list.text(0, 0), QString());
        QCOMPARE(list.text(0, 1), QStringLiteral("Ann"));
        QVERIFY(h.agenda().listsModified());
    }

    void enterOpensTheEditBoxOnTheMessageOnly() {
        Harness h;
        h.folder.write("Ricordel.dat", "7,3,\"Dentista\",\"9:30\"\r\n");
        h.start();
        FlexGrid* g = h.grid(ListKind::Appointments);
        ListModel& list = h.agenda().appointments();
        // Columns 0 and 2: no box (the script would fail on one), no change.
        for (int column : {0, 2}) {
            h.shown().setCurrentCell(ListKind::Appointments, 0, column);
            QTest::keyClick(g, Qt::Key_Return);
        }
        QVERIFY(h.dialogs.shown.isEmpty());
        QCOMPARE(list.entry(0).date, QStringLiteral("7/3"));
        QCOMPARE(list.entry(0).time, QStringLiteral("9:30"));
        QVERIFY(!h.agenda().listsModified());

        h.shown().setCurrentCell(ListKind::Appointments, 0, 1);
        h.dialogs.type(QString());  // Cancel
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(h.dialogs.shown.size(), 1);
        QVERIFY(h.dialogs.shown[0].isInput);
        QCOMPARE(h.dialogs.shown[0].title, std::optional<QString>(QStringLiteral("Modifica")));
        QCOMPARE(h.dialogs.shown[0].text, QString());
        QCOMPARE(h.dialogs.shown[0].defaultText, QStringLiteral("Dentista"));
        QCOMPARE(list.text(0, 1), QStringLiteral("Dentista"));
        QVERIFY(!h.agenda().listsModified());

        // A pasted text shows at once what the file will keep.
        h.dialogs.type(QString::fromUtf16(u"Dentista \"Rossi\"\tore 9 \u2192 10 \U0001F600"));
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(list.text(0, 1), QStringLiteral("Dentista 'Rossi' ore 9 ? 10 ?"));
        QVERIFY(h.agenda().listsModified());
    }

    // Only the editing keys, Enter and typed characters are the program's;
    // every other key moves in the grid, with Ctrl too.
    void otherKeysAreTheGridsOwnNavigation() {
        Harness h;
        h.folder.write("Ricordel.dat",
                       "7,3,\"Uno\",\"9:30\"\r\n8,3,\"Due\",\"\"\r\n9,3,\"Tre\",\"\"\r\n");
        h.start();
        h.show();
        FlexGrid* g = h.grid(ListKind::Appointments);
        g->setFocus();
        h.shown().setCurrentCell(ListKind::Appointments, 1, 1);
        QTest::keyClick(g, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(h.shown().currentRow(ListKind::Appointments), 2);
        QTest::keyClick(g, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(h.shown().currentRow(ListKind::Appointments), 0);
        QCOMPARE(g->currentIndex().column(), 0);
        QTest::keyClick(g, Qt::Key_Down);
        QTest::keyClick(g, Qt::Key_Right);
        QCOMPARE(g->currentIndex(), g->model()->index(1, 1));
        // A typed letter edits the cell; it does not jump to a row that starts with it.
        QTest::keyClick(g, 'T');
        QCOMPARE(h.shown().currentRow(ListKind::Appointments), 1);
        QCOMPARE(h.agenda().appointments().text(1, 1), QStringLiteral("DueT"));
        QCOMPARE(h.agenda().appointments().text(0, 1), QStringLiteral("Uno"));
    }

    void keysOnAnEmptyListTouchNothing() {
        Harness h;
        h.start();
        FlexGrid* g = h.grid(ListKind::Appointments);
        QTest::keyClick(g, 'a');
        QTest::keyClick(g, Qt::Key_Backspace);
        QTest::keyClick(g, Qt::Key_Delete);
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(h.agenda().appointments().entryCount(), 0);
        QVERIFY(!h.agenda().listsModified());
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void f5SavesFromTheAppointmentsGridOnly() {
        Harness h;
        h.folder.write("Ricordel.dat", "7,3,\"Dentista\",\"9:30\"\r\n");
        h.folder.write("Date.dat", "15,4,\"Scade bollo\"\r\n");
        h.start();
        h.shown().selectTab(1);
        h.shown().setCurrentCell(ListKind::Deadlines, 0, 1);
        QTest::keyClick(h.grid(ListKind::Deadlines), '!');
        QTest::keyClick(h.grid(ListKind::Deadlines), Qt::Key_F5);
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("15,4,\"Scade bollo\"\r\n"));
        QVERIFY(h.agenda().listsModified());
        QTest::keyClick(h.grid(ListKind::Anniversaries), Qt::Key_F5);
        QVERIFY(h.agenda().listsModified());

        h.shown().selectTab(0);
        QTest::keyClick(h.grid(ListKind::Appointments), Qt::Key_F5);
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("15,4,\"Scade bollo!\"\r\n"));
        QVERIFY(!h.agenda().listsModified());
        QCOMPARE(h.form->tabs()->currentIndex(), 0);
    }

    void rightButtonPopupOnAppointmentsOnly() {
        Harness h;
        h.folder.write("Ricordel.dat", "7,3,\"Uno\",\"9:30\"\r\n8,3,\"Due\",\"10:30\"\r\n");
        h.folder.write("Date.dat", "15,4,\"Scade bollo\"\r\n");
        h.start();
        h.show();
        h.shown().setCurrentCell(ListKind::Appointments, 0, 1);
        FlexGrid* g1 = h.grid(ListKind::Appointments);
        QTest::mouseClick(g1->viewport(), Qt::RightButton, {},
                          h.cellRect(ListKind::Appointments, 1, 1).center());
        QVERIFY(h.form->postponeMenu()->isVisible());
        // The popup acts on the row chosen before the right click.
        QCOMPARE(h.shown().currentRow(ListKind::Appointments), 0);
        h.form->postponeMenu()->hide();

        h.form->tabs()->setCurrentIndex(1);
        FlexGrid* g2 = h.grid(ListKind::Deadlines);
        QTest::mouseClick(g2->viewport(), Qt::RightButton, {},
                          h.cellRect(ListKind::Deadlines, 0, 1).center());
        QVERIFY(!h.form->postponeMenu()->isVisible());
        QVERIFY(!h.form->findChildren<QMenu*>().isEmpty());
        for (QMenu* menu : h.form->findChildren<QMenu*>()) QVERIFY(!menu->isVisible());
    }

    void aClickAnywhereInAGridEnablesDelete() {
        Harness h;
        h.folder.write("Ricordel.dat", "7,3,\"Uno\",\"9:30\"\r\n8,3,\"Due\",\"10:30\"\r\n");
        h.start();
        h.show();
        FlexGrid* g1 = h.grid(ListKind::Appointments);
        QVERIFY(!h.button(Command::Delete)->isEnabled());
        QTest::mouseClick(g1->viewport(), Qt::LeftButton, {},
                          h.cellRect(ListKind::Appointments, 1, 1).center());
        QVERIFY(h.button(Command::Delete)->isEnabled());
        QCOMPARE(h.shown().currentRow(ListKind::Appointments), 1);

        // The header row and the empty area count as the grid too, and the
        // chosen row stays.
        h.form->tabs()->setCurrentIndex(1);
        h.form->tabs()->setCurrentIndex(0);
        QVERIFY(!h.button(Command::Delete)->isEnabled());
        QTest::mouseClick(g1->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
        QVERIFY(h.button(Command::Delete)->isEnabled());
        h.form->tabs()->setCurrentIndex(1);
        h.form->tabs()->setCurrentIndex(0);
        QTest::mouseClick(g1->viewport(), Qt::LeftButton, {}, QPoint(20, 400));
        QVERIFY(h.button(Command::Delete)->isEnabled());
        QCOMPARE(h.shown().currentRow(ListKind::Appointments), 1);
    }
};

// ------------------------------------------------- tabs, buttons and calendar
class TabButtonCalendarTests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void tabChangeSetsCaptionsStatesAndFrameColour() {
        Harness h;
        h.start();
        h.button(Command::Delete)->setEnabled(true);
        h.form->tabs()->setCurrentIndex(1);
        QCOMPARE(h.shown().currentTab(), 1);
        QVERIFY(!h.button(Command::Delete)->isEnabled());
        QVERIFY(!h.button(Command::Print)->isEnabled());
        QCOMPARE(h.button(Command::Insert)->text(), QStringLiteral("&Inserisci Scadenza"));
        QCOMPARE(h.button(Command::Delete)->text(), QStringLiteral("&Elimina Scadenza"));
        QCOMPARE(h.button(Command::Delete)->accessibleName(), QStringLiteral("Elimina Scadenza"));
        QCOMPARE(h.form->focusFrameFill(), QColor(128, 255, 128));
        const QRect frame = h.form->focusFrame()->geometry();

        // The program selecting a tab runs the same handling and moves SSTab1.
        h.shown().selectTab(2);
        QCOMPARE(h.form->tabs()->currentIndex(), 2);
        QCOMPARE(h.button(Command::Insert)->text(), QStringLiteral("&Inserisci Ricorrenza"));
        QCOMPARE(h.form->focusFrameFill(), QColor(255, 255, 128));
        QCOMPARE(h.form->focusFrame()->geometry(), frame);
        QVERIFY(!h.button(Command::Print)->isEnabled());

        h.form->tabs()->setCurrentIndex(0);
        QVERIFY(h.button(Command::Print)->isEnabled());
        QCOMPARE(h.button(Command::Delete)->text(), QStringLiteral("&Elimina Appuntamento"));
        QCOMPARE(h.form->focusFrameFill(), QColor(128, 255, 255));
    }

    void hoverColoursAndTheirReset() {
        Harness h;
        h.start();
        h.show();  // hidden windows get no mouse moves
        const QColor standard = h.form->standardButtonColour();
        h.form->tabs()->setCurrentIndex(1);
        moveMouseOver(h.button(Command::Insert));
        moveMouseOver(h.button(Command::Exit));
        QCOMPARE(buttonColour(h.button(Command::Insert)), QColor(128, 255, 128));
        QCOMPARE(buttonColour(h.button(Command::Exit)), QColor(128, 255, 128));
        QCOMPARE(buttonColour(h.button(Command::Today)), standard);
        // The grids and the calendar reset nothing.
        moveMouseOver(h.grid(ListKind::Deadlines)->viewport());
        moveMouseOver(h.form->calendar());
        QCOMPARE(buttonColour(h.button(Command::Insert)), QColor(128, 255, 128));
        // A move the tab bar ignores reaches the surface, but over a control
        // it is no move over the bare window.
        moveMouseOver(h.form->tabs()->tabBar());
        QCOMPARE(buttonColour(h.button(Command::Insert)), QColor(128, 255, 128));
        moveMouseOver(h.surface());
        for (int i = 0; i < 6; ++i)
            QCOMPARE(buttonColour(h.button(static_cast<Command>(i))), standard);
    }

    void focusFrameFollowsTheFocusedButton() {
        Harness h;
        h.start();
        h.show();
        // The frame rings the focused button, 4 pixels out on every side.
        auto ring = [&h](Command c) { return h.button(c)->geometry().adjusted(-4, -4, 4, 4); };
        h.button(Command::Save)->setFocus(Qt::TabFocusReason);
        QCOMPARE(h.form->focusFrame()->geometry(), ring(Command::Save));
        QVERIFY(h.form->focusFrame()->isVisible());
        // Losing the focus leaves the frame where it was.
        h.form->calendar()->setFocus(Qt::TabFocusReason);
        QCOMPARE(h.form->focusFrame()->geometry(), ring(Command::Save));
        h.button(Command::Insert)->setFocus(Qt::MouseFocusReason);
        QCOMPARE(h.form->focusFrame()->geometry(), ring(Command::Insert));
        // Behind the buttons, not over them.
        QVERIFY(h.form->centralWidget()->children().indexOf(h.form->focusFrame()) <
                h.form->centralWidget()->children().indexOf(h.button(Command::Today)));
    }

    void calendarFocusDisablesDelete() {
        Harness h;
        h.folder.write("Ricordel.dat", "7,3,\"Uno\",\"9:30\"\r\n");
        h.start();
        h.show();
        QTest::mouseClick(h.grid(ListKind::Appointments)->viewport(), Qt::LeftButton, {},
                          h.cellRect(ListKind::Appointments, 0, 1).center());
        QVERIFY(h.button(Command::Delete)->isEnabled());
        h.form->calendar()->setFocus(Qt::TabFocusReason);
        QVERIFY(!h.button(Command::Delete)->isEnabled());
    }

    void pagingTheCalendarSelectsTodaysDayNumber_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("months");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("15th, next month") << QDate(2026, 3, 15) << 1 << QDate(2026, 4, 15);
        QTest::newRow("15th, back a month") << QDate(2026, 3, 15) << -1 << QDate(2026, 2, 15);
        QTest::newRow("31st to April") << QDate(2026, 3, 31) << 1 << QDate(2026, 4, 30);
        QTest::newRow("31st to February") << QDate(2026, 1, 31) << 1 << QDate(2026, 2, 28);
        QTest::newRow("30th to leap February") << QDate(2028, 1, 30) << 1 << QDate(2028, 2, 29);
        QTest::newRow("31st, two pages") << QDate(2026, 3, 31) << 2 << QDate(2026, 5, 31);
        QTest::newRow("next year") << QDate(2026, 12, 31) << 12 << QDate(2027, 12, 31);
    }
    void pagingTheCalendarSelectsTodaysDayNumber() {
        QFETCH(QDate, today);
        QFETCH(int, months);
        QFETCH(QDate, expected);
        Harness h;
        h.clock.set(today);
        h.start();
        QCalendarWidget* calendar = h.form->calendar();
        if (months == 12) {
            calendar->showNextYear();
        } else {
            for (int i = 0; i < std::abs(months); ++i)
                months > 0 ? calendar->showNextMonth() : calendar->showPreviousMonth();
        }
        QCOMPARE(calendar->selectedDate(), expected);
        QCOMPARE(calendar->monthShown(), expected.month());
    }

    void aDayChosenOnAnotherMonthsPageStaysChosen() {
        Harness h;
        h.clock.set(QDate(2026, 3, 15));
        h.start();
        // What a click on a greyed day of the next month does.
        h.form->calendar()->setSelectedDate(QDate(2026, 4, 2));
        QCOMPARE(h.form->calendar()->selectedDate(), QDate(2026, 4, 2));
        QCOMPARE(h.form->calendar()->monthShown(), 4);
    }

    void todayButtonBringsTheCalendarBack() {
        Harness h;
        h.clock.set(QDate(2026, 3, 15));
        h.start();
        h.form->calendar()->setSelectedDate(QDate(2025, 11, 3));
        QTest::mouseClick(h.button(Command::Today), Qt::LeftButton);
        QCOMPARE(h.form->calendar()->selectedDate(), QDate(2026, 3, 15));
    }
};

// --------------------------------------------------- commands and menu items
class CommandTests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void insertButtonWritesTheNewAppointment() {
        Harness h;
        h.clock.set(QDate(2026, 3, 7), QTime(8, 0));
        h.folder.write("Ricordel.dat", "9,3,\"Dopo\",\"\"\r\n");
        h.folder.write("Ricordel.ini", settingsBytes(true, false));
        h.start();
        h.dialogs.type(QStringLiteral("Dentista"));
        h.dialogs.type(QStringLiteral("14:30"));
        QTest::mouseClick(h.button(Command::Insert), Qt::LeftButton);
        QVERIFY(h.dialogs.scriptUsedUp());
        QCOMPARE(h.folder.read("Ricordel.dat"),
                 QByteArray("7,3,\"Dentista\",\"14:30\"\r\n9,3,\"Dopo\",\"\"\r\n"));
    }

    void insertOnTheDeadlinesTabUsesItsList() {
        Harness h;
        h.clock.set(QDate(2026, 3, 7));
        h.start();
        h.form->tabs()->setCurrentIndex(1);
        h.form->calendar()->setSelectedDate(QDate(2026, 6, 1));
        h.dialogs.type(QStringLiteral("Scade assicurazione"));
        QTest::mouseClick(h.button(Command::Insert), Qt::LeftButton);
        QCOMPARE(h.dialogs.shown.value(0).defaultText, QStringLiteral("Scade "));
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("1,6,\"Scade assicurazione\"\r\n"));
        QCOMPARE(h.form->tabs()->currentIndex(), 1);
    }

    void deleteButtonRemovesTheClickedRow() {
        Harness h;
        h.folder.write("Date.dat", "15,4,\"Bollo\"\r\n16,4,\"Tassa\"\r\n");
        h.start();
        h.show();
        h.form->tabs()->setCurrentIndex(1);
        QTest::mouseClick(h.grid(ListKind::Deadlines)->viewport(), Qt::LeftButton, {},
                          h.cellRect(ListKind::Deadlines, 1, 1).center());
        h.dialogs.answer(MsgAnswer::Yes);
        QTest::mouseClick(h.button(Command::Delete), Qt::LeftButton);
        QVERIFY(h.dialogs.scriptUsedUp());
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("15,4,\"Bollo\"\r\n"));
    }

    void printWithoutPrinterSaysSo() {
        Harness h;
        h.start();
        QTest::mouseClick(h.button(Command::Print), Qt::LeftButton);
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Nessuna stampante installata")});
        QCOMPARE(h.printer.printed, 0);
    }

    void exitAsksAboutEditsThenHides() {
        Harness h;
        h.folder.write("Date.dat", "15,4,\"Bollo\"\r\n");
        h.start();
        h.show();
        h.shown().selectTab(1);
        h.shown().setCurrentCell(ListKind::Deadlines, 0, 1);
        QTest::keyClick(h.grid(ListKind::Deadlines), 'X');
        h.dialogs.answer(MsgAnswer::No);
        QTest::mouseClick(h.button(Command::Exit), Qt::LeftButton);
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("Salvare le modifiche effettuate ?")});
        QVERIFY(!h.form->isVisible());
        QVERIFY(h.app->tray().isInTray());
        QVERIFY(h.tray.isShown());
        QVERIFY(h.agenda().listsModified());
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("15,4,\"Bollo\"\r\n"));

        // Opened again, a second exit asks again; Yes writes the edit.
        h.app->openMainWindow();
        QVERIFY(h.form->isVisible());
        QVERIFY(!h.app->tray().isInTray());
        h.dialogs.answer(MsgAnswer::Yes);
        QTest::mouseClick(h.button(Command::Exit), Qt::LeftButton);
        QCOMPARE(h.folder.read("Date.dat"), QByteArray("15,4,\"BolloX\"\r\n"));
        QVERIFY(!h.agenda().listsModified());
        QVERIFY(!h.form->isVisible());
    }

    void saveButtonWritesAllAndKeepsTheTab() {
        Harness h;
        h.folder.write("Ricordel.ini", settingsBytes(true, false));
        h.folder.write("Ricordel.dat", "9,3,\"Dopo\",\"\"\r\n7,3,\"Prima\",\"\"\r\n");
        h.start();
        h.form->tabs()->setCurrentIndex(2);
        h.agenda()
            .list(ListKind::Anniversaries)
            .append({QStringLiteral("1/5"), QStringLiteral("Anna"), {}, {}});
        QTest::mouseClick(h.button(Command::Save), Qt::LeftButton);
        QCOMPARE(h.folder.read("Ricordel.dat"),
                 QByteArray("7,3,\"Prima\",\"\"\r\n9,3,\"Dopo\",\"\"\r\n"));
        QCOMPARE(h.folder.read("Ricorrenze.dat"), QByteArray("1,5,\"Anna\"\r\n"));
        QCOMPARE(h.form->tabs()->currentIndex(), 2);
        QCOMPARE(h.button(Command::Insert)->text(), QStringLiteral("&Inserisci Ricorrenza"));
    }

    void orderItemsSetTheFlagMarksAndFiles() {
        Harness h;
        h.folder.write("Ricordel.ini", settingsBytes(true, false));
        h.folder.write("Ricordel.dat", "7,3,\"Prima\",\"\"\r\n9,3,\"Dopo\",\"\"\r\n");
        h.start();
        h.item("mnuOrdDec")->trigger();
        QVERIFY(!h.agenda().settings().sortAscending);
        QVERIFY(h.item("mnuOrdDec")->isChecked());
        QVERIFY(!h.item("mnuOrdCre")->isChecked());
        QVERIFY(h.folder.read("Ricordel.ini").startsWith("#FALSE#,\"Ord\"\r\n"));
        QCOMPARE(h.folder.read("Ricordel.dat"),
                 QByteArray("9,3,\"Dopo\",\"\"\r\n7,3,\"Prima\",\"\"\r\n"));
        // Choosing the order already in force still leaves it ticked.
        h.item("mnuOrdDec")->trigger();
        QVERIFY(h.item("mnuOrdDec")->isChecked());
        h.item("mnuOrdCre")->trigger();
        QVERIFY(h.item("mnuOrdCre")->isChecked());
        QVERIFY(!h.item("mnuOrdDec")->isChecked());
        QVERIFY(h.folder.read("Ricordel.ini").startsWith("#TRUE#,\"Ord\"\r\n"));
    }

    void newMsgboxAndAlarmWarningSaveAtOnce() {
        Harness h;
        h.folder.write("Ricordel.ini", settingsBytes(false, false) + "30,\"minuti preavviso\"\r\n");
        h.start();
        QStringList warnings;
        for (QAction* a : h.form->findChild<QMenu*>("mnuPreavvisoAllarme")->actions())
            warnings << a->text() + (a->isChecked() ? "*" : "");
        QCOMPARE(warnings, QStringList({"Nessuno", "5 minuti", "10 minuti", "15 minuti",
                                        "30 minuti*", "1 ora"}));
        QCOMPARE(h.form->findChild<QMenu*>("mnuPreavvisoAllarme")->title(), "Preavviso &allarme");
        QCOMPARE(h.app->alarms().engine().warningMinutes(), 30);
        h.item("mnuPreavvisoAllarme60")->trigger();
        QVERIFY(h.item("mnuPreavvisoAllarme60")->isChecked());
        QVERIFY(!h.item("mnuPreavvisoAllarme30")->isChecked());
        QCOMPARE(h.app->alarms().engine().warningMinutes(), 60);
        QCOMPARE(h.folder.read("Ricordel.ini"),
                 settingsBytes(false, false) + "60,\"minuti preavviso\"\r\n");

        h.item("mnuNewMsgbox")->trigger();
        QVERIFY(h.agenda().settings().newMessageBox);
        QVERIFY(h.item("mnuNewMsgbox")->isChecked());
        QVERIFY(h.folder.read("Ricordel.ini").contains("\r\n#TRUE#,\"NewMsg\"\r\n"));
        h.item("mnuNewMsgbox")->trigger();
        QVERIFY(!h.agenda().settings().newMessageBox);
        QVERIFY(!h.item("mnuNewMsgbox")->isChecked());
        QVERIFY(h.folder.read("Ricordel.ini").contains("\r\n#FALSE#,\"NewMsg\"\r\n"));
    }

    void soundItemsStoreTheChosenFileAndKeepTheFolder() {
        Harness h;
        h.start();
        const struct {
            const char* item;
            QString Settings::*sound;
        } cases[] = {{"mnuAppuntamenti", &Settings::appointmentSound},
                     {"mnuScadenze", &Settings::deadlineSound},
                     {"mnuRicorrenze", &Settings::anniversarySound},
                     {"mnuAllarme", &Settings::alarmSound}};
        for (const auto& c : cases) {
            const QString wav =
                QDir::tempPath() + QStringLiteral("/suoni, miei/") + c.item + ".wav";
            h.files.answer = wav;
            h.files.wanderTo = QDir::rootPath();
            h.item(c.item)->trigger();
            QCOMPARE(h.agenda().settings().*(c.sound), QDir::toNativeSeparators(wav));
        }
        QCOMPARE(h.files.filters.value(0), QStringLiteral("*.wav (*.wav)"));
        Settings stored;
        parseSettings(h.folder.read("Ricordel.ini"), stored);
        QCOMPARE(stored, h.agenda().settings());
    }

    // Cancelled, or a file whose name the settings file cannot hold (it
    // would come back changed at the next start): the old sound stays.
    void cancelledOrUnstorableSoundChoiceChangesNothing() {
        Harness h;
        h.start();
        h.agenda().settings().appointmentSound = QStringLiteral("old.wav");
        h.files.answer = QString();
        h.files.wanderTo = QDir::rootPath();
        h.item("mnuAppuntamenti")->trigger();
        QVERIFY(h.dialogs.shown.isEmpty());

        const QString odd = QString::fromUtf16(u"/home/anna/suoni/Gy\u0151r.wav");
        h.files.answer = odd;
        h.item("mnuAppuntamenti")->trigger();
        QCOMPARE(h.dialogs.shown.size(), 1);
        QVERIFY2(h.dialogs.shown[0].text.contains(QDir::toNativeSeparators(odd)),
                 qPrintable(h.dialogs.shown[0].text));
        QCOMPARE(h.agenda().settings().appointmentSound, QStringLiteral("old.wav"));
        QVERIFY(!h.folder.exists("Ricordel.ini"));
    }

    void postponeAndArchiveItemsActOnTheChosenAppointment() {
        Harness h;
        h.clock.set(QDate(2026, 3, 7), QTime(8, 0));
        h.folder.write("Ricordel.ini", settingsBytes(true, false));
        h.folder.write("Ricordel.dat", "7,3,\"Uno\",\"9:30\"\r\n8,3,\"Due\",\"10:00\"\r\n");
        h.start();
        h.shown().setCurrentCell(ListKind::Appointments, 0, 1);
        h.dialogs.answer(MsgAnswer::Yes);
        h.item("mnuRim30")->trigger();
        QCOMPARE(h.folder.read("Ricordel.dat"),
                 QByteArray("7,3,\"Uno\",\"10:00\"\r\n8,3,\"Due\",\"10:00\"\r\n"));

        h.shown().setCurrentCell(ListKind::Appointments, 1, 1);
        h.dialogs.answer(MsgAnswer::Yes);
        h.item("mnuArchivia")->trigger();
        QCOMPARE(h.folder.read("Ricordel.dat"), QByteArray("7,3,\"Uno\",\"10:00\"\r\n"));
        QCOMPARE(h.folder.read("Archivio/2026.txt"), QByteArray("8,3,\"Due\",\"10:00\"\r\n"));

        h.dialogs.type(QStringLiteral("2026"));
        h.item("mnuArchivio")->trigger();
        QCOMPARE(h.viewer.opened, QStringList{h.folder.file(QStringLiteral("Archivio/2026.txt"))});
    }

    void notificationItemsDoWhatTheySay() {
        Harness h;
        h.folder.write("Date.dat", "7,3,\"Bollo\"\r\n");  // due today
        h.start();
        QCOMPARE(h.presenter.lines.size(), 1);  // the start-up digest
        h.item("mnuRemember")->trigger();
        h.item("mnuVisMess")->trigger();
        QCOMPARE(h.presenter.lines.size(), 3);
        QVERIFY(h.presenter.lines.last().contains(QStringLiteral("Bollo")));

        // Both "&Prova allarme" items bring the window back with the test
        // text; a second test replaces the text instead of adding to it.
        AlarmWindow* first = nullptr;
        for (const char* prova : {"mnuProva2", "mnuProva"}) {
            h.app->tray().hideToTray();
            h.item(prova)->trigger();
            QVERIFY(h.form->isVisible());
            QVERIFY(!h.tray.isShown());
            AlarmWindow* siren = h.app->alarms().alarmWindow();
            QVERIFY(siren && siren->isVisible());
            QVERIFY(!first || siren == first);
            QCOMPARE(siren->text(), QStringLiteral("Smack\r\nto\r\nZOLE"));
            siren->addAlarms({{AlarmKind::Due, QDateTime::currentDateTime(), "Dentista"}},
                             QDateTime::currentDateTime());
            first = siren;
        }
        first->acknowledge();
        h.app->tray().hideToTray();
        QVERIFY(!h.form->isVisible());
        h.item("mnuApriMess")->trigger();
        QVERIFY(h.form->isVisible());
        QVERIFY(!h.tray.isShown());

        h.dialogs.answer(MsgAnswer::Cancel);  // "&Chiudi" asks first; Cancel keeps the program
        h.item("mnuChiudi")->trigger();
        QVERIFY(h.dialogs.texts().last().startsWith(QStringLiteral("Attenzione, non verranno")));
        QVERIFY(!h.app->lifetime().isEnding());
        QVERIFY(h.app->alarms().engine().minuteTimer()->isActive());
        QVERIFY(h.form->isVisible());
    }

    void backgroundPictureIsDrawnFromTheTopLeftCorner() {
        Harness h;
        QImage red(5, 5, QImage::Format_RGB32);
        red.fill(Qt::red);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        red.save(&png, "PNG");
        h.folder.write("Sfondo.dat", png.data());
        h.start();
        QCOMPARE(h.form->background().size(), QSize(5, 5));
        QImage shown = h.surface()->grab().toImage();
        QCOMPARE(QColor(shown.pixel(2, 2)), QColor(Qt::red));
        QCOMPARE(QColor(shown.pixel(6, 2)), QColor(Qt::white));

        // A picture confirmed in the chooser replaces it at once.
        QPixmap blue(7, 3);
        blue.fill(Qt::blue);
        bool sawChooser = false;
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<BackgroundChooser*>(QApplication::activeModalWidget());
            sawChooser = chooser != nullptr;
            if (!chooser) return;
            Q_EMIT chooser->backgroundChosen(blue);
            chooser->reject();
        });
        h.item("mnuSfondo")->trigger();
        QVERIFY(sawChooser);
        shown = h.surface()->grab().toImage();
        QCOMPARE(QColor(shown.pixel(6, 1)), QColor(Qt::blue));
        QCOMPARE(QColor(shown.pixel(2, 4)), QColor(Qt::white));
    }

    void startUpShowsTheDigestOnce() {
        Harness h;
        h.folder.write("Ricorrenze.dat", "7,3,\"Compleanno di Anna\"\r\n");
        h.start();
        h.app->load();
        QCOMPARE(h.presenter.lines.size(), 1);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        StartupTests t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        GridEditingTests t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TabButtonCalendarTests t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        CommandTests t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "mainwindow_test.moc"
