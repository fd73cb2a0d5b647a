#pragma once

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QtTest/QTest>

#include <memory>

#include "app/application.h"
#include "core/agenda.h"
#include "core/listselection.h"
#include "notify/windowreminderpresenter.h"
#include "operations/operations.h"
#include "support/fakeclock.h"
#include "support/fakeplayer.h"
#include "support/faketray.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/scriptedpresenter.h"
#include "support/tempfolder.h"
#include "ui/filedialogs.h"
#include "ui/flexgrid.h"
#include "ui/mainwindow.h"
#include "ui/printcommand.h"

// A file dialog that answers `answer` and notes the filters it was asked
// with; with `unexpected` set, being asked at all fails the test.
class RigFileDialogs final : public FileDialogs {
  public:
    QString openFileName(const QString& filter) override {
        if (unexpected) QTest::qFail("unexpected file dialog", __FILE__, __LINE__);
        filters << filter;
        // A real dialog may leave the process in the folder it showed last.
        if (!wanderTo.isEmpty()) QDir::setCurrent(wanderTo);
        return answer;
    }
    QString answer;
    QString wanderTo;
    QStringList filters;
    bool unexpected = false;
};

class RigArchiveViewer final : public ArchiveViewer {
  public:
    bool open(const QString& path, const QString&) override {
        opened << path;
        return true;
    }
    QStringList opened;
};

// `count` printers; every print succeeds.
class RigPrinter final : public PrinterAccess {
  public:
    int printerCount() const override { return count; }
    bool print(const std::function<void(QPagedPaintDevice&)>&, QString*) override {
        ++printed;
        return true;
    }
    int count = 0;
    int printed = 0;
};

// What a main window takes from the desktop, all of it fake: a fixed clock
// (7 March 2026, 10:00), scripted boxes, an archive viewer that notes what it
// opens, no printer unless a test sets some, a tray, a digest without windows
// and a player that only logs.
struct FakeDesktop {
    FakeClock clock;
    ScriptedDialogs dialogs;
    RigArchiveViewer viewer;
    RigPrinter printer;
    FakeTray tray;
    ScriptedPresenter presenter;
    std::shared_ptr<PlayerLog> sounds = std::make_shared<PlayerLog>();
    // The digest in the real reminder box and assistant instead of the script.
    bool realDigestWindows = false;
    // The real message and input boxes instead of the script.
    Dialogs* realBoxes = nullptr;

    // The services of a program whose files are in `dataFolder`.
    ProgramServices services(FileDialogs* files, const QString& dataFolder) {
        return ProgramServices{&clock,
                               realBoxes ? realBoxes : &dialogs,
                               files,
                               &viewer,
                               &printer,
                               fakePlayerFactory(sounds),
                               &tray,
                               realDigestWindows ? nullptr : &presenter,
                               nullptr,
                               dataFolder,
                               QStringLiteral(RICORDEL_PROGRAM)};
    }
};

// The program with its main window on the fake desktop over a fresh data
// folder.
struct WindowRig : FakeDesktop {
    TempFolder folder;
    RigFileDialogs files;
    std::unique_ptr<Application> app;
    MainWindow* form = nullptr;

    // The program and its window, made but not yet started.
    MainWindow& make() {
        app = std::make_unique<Application>(services(&files, folder.path()));
        form = app->window();
        return *form;
    }
    // The program through its start-up sequence, the window not yet shown.
    void start() {
        make();
        app->load();
    }
    void show() {
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }

    Agenda& agenda() { return app->agenda(); }
    ListSelection& shown() { return form->shown(); }
    FlexGrid* grid(ListKind kind) { return form->grid(kind); }
    QPushButton* button(Command command) { return form->commandButton(command); }
    // A menu item of the window, or else of the icon's menu.
    QAction* item(const char* name) {
        const QString objectName = QString::fromLatin1(name);
        if (QAction* action = form->findChild<QAction*>(objectName)) return action;
        return app->tray().menu()->findChild<QAction*>(objectName);
    }
};
