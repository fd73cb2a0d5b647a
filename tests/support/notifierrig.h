#pragma once

#include <QMenu>

#include <memory>

#include "app/application.h"
#include "core/agenda.h"
#include "support/fakeclock.h"
#include "support/fakeplayer.h"
#include "support/faketray.h"
#include "support/scripteddialogs.h"
#include "support/scriptedpresenter.h"
#include "support/tempfolder.h"
#include "ui/mainwindow.h"

// The program on a fake desktop, in a folder of its own, for the
// notifications: a fixed clock, scripted boxes, an icon with its menu, a
// player that only logs, and the digest scripted unless `windows` asks for
// the real boxes. Nothing is started: each test starts what it needs.
struct NotifierRig {
    struct Options {
        bool trayAvailable = true;
        bool windows = false;
        QDateTime start = QDateTime(QDate(2026, 3, 7), QTime(8, 0));
        DesktopNotifications* notifications = nullptr;
    };

    TempFolder folder;
    FakeClock clock;
    ScriptedDialogs dialogs;
    FakeTray tray;
    ScriptedPresenter presenter;
    std::shared_ptr<PlayerLog> sounds = std::make_shared<PlayerLog>();
    std::unique_ptr<Application> app;

    NotifierRig() : NotifierRig(Options{}) {}
    explicit NotifierRig(const Options& options)
        : clock(options.start), tray(options.trayAvailable) {
        app = std::make_unique<Application>(
            ProgramServices{&clock, &dialogs, nullptr, nullptr, nullptr, fakePlayerFactory(sounds),
                            &tray, options.windows ? nullptr : &presenter, options.notifications,
                            folder.path(), QStringLiteral(RICORDEL_PROGRAM)});
        // The event loops are the test's: an ending program must not stop
        // every loop the test runs after it.
        QObject::disconnect(&app->lifetime(), &ProgramLifetime::quitRequested, app.get(), nullptr);
    }

    Agenda& agenda() { return app->agenda(); }
    MainWindow& mainWindow() { return *app->window(); }
    QMenu& trayMenu() { return *app->tray().menu(); }

    // Start-up without the digest: the window appears with its icon beside it.
    void showWithIcon() {
        app->tray().addIcon();
        mainWindow().show();
    }
    // Every save of the lists fails from now on: a folder stands where the
    // deadlines' file would be written.
    void savesFail() { QDir(folder.path()).mkdir(QStringLiteral("Date.dat")); }
    void files(const QByteArray& deadlines, const QByteArray& appointments,
               const QByteArray& anniversaries) {
        folder.write("Date.dat", deadlines);
        folder.write("Ricordel.dat", appointments);
        folder.write("Ricorrenze.dat", anniversaries);
    }
};
