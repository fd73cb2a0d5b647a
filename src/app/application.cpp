#include "app/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include "core/listselection.h"
#include "notify/singleinstance.h"
#include "notify/termination.h"
#include "notify/windowreminderpresenter.h"
#include "operations/operations.h"
#include "ui/serverdialog.h"

Application::Application(const ProgramServices& services, QObject* parent)
    : QObject(parent),
      services_(services),
      agenda_(*services.clock, *services.dialogs, services.dataFolder),
      alarms_(agenda_, *services.clock, *services.dialogs, services.makePlayer,
              services.notifications),
      tray_(services.tray),
      lifetime_(agenda_, *services.dialogs),
      importer_(agenda_, services.calendarReader.isEmpty() ? QCoreApplication::applicationFilePath()
                                                           : services.calendarReader),
      importProgress_(importer_),
      sync_(agenda_, services.passwords ? *services.passwords : memoryPasswords_, &network_,
            services.calendarReader.isEmpty() ? QCoreApplication::applicationFilePath()
                                              : services.calendarReader) {
    ReminderPresenter* presenter = services.presenter;
    if (!presenter) {
        windowPresenter_ = std::make_unique<WindowReminderPresenter>(services.makePlayer, nullptr);
        presenter = windowPresenter_.get();
    }
    digest_ = std::make_unique<DigestRunner>(agenda_, *services.clock, *presenter);

    // An alarm brings the main window in front first, so that its window is
    // not left alone on the desktop.
    connect(&alarms_, &AlarmRinger::aboutToRing, this, &Application::openMainWindow);
    connect(&caption_, &CaptionClock::repaintColoursRequested, this,
            [this] { paintUrgencyColours(agenda_); });
    connect(&lifetime_, &ProgramLifetime::saveAllRequested, this,
            [this] { saveAll(agenda_, window_ ? &window_->shown() : nullptr); });
    connect(&lifetime_, &ProgramLifetime::endingStarted, this, [this] {
        digest_->cancel();
        alarms_.stop();
        caption_.stop();
        tray_.removeIcon();
        importer_.cancelReading();
        sync_.stop();
    });
    // Leaves every event loop at once, the nested ones of waiting boxes
    // included; a quit() would wait for them, and do nothing before exec().
    connect(&lifetime_, &ProgramLifetime::quitRequested, this, [] { QCoreApplication::exit(0); });

    tray_.setMenuCommand("mnuVisMess", [this] { digest_->run(); });
    tray_.setMenuCommand("mnuApriMess", [this] { openMainWindow(); });
    tray_.setMenuCommand("mnuProva", [this] { alarms_.testAlarm(); });
    tray_.setMenuCommand("mnuChiudi", [this] { lifetime_.closeProgram(); });
    tray_.setMenuCommand("mnuTraySincronizza", [this] { sync_.syncNow(true); });

    // What the sync takes from the server waits while a question of the
    // user's is open, so that it never moves the row a command is about.
    sync_.setApplyGate([this] {
        return agenda_.isWriting() && !QApplication::activeModalWidget() &&
               !QApplication::activePopupWidget() && !tray_.isBusy();
    });
    connect(&sync_, &SyncService::statusChanged, &tray_, &TrayController::setStatusLine);

    // Made with the program, so that the minutes that pass while the
    // start-up digest waits for the user are checked for alarms as soon as
    // it ends.
    makeWindow();
}

Application::~Application() {
    window_.reset();
}

MainWindow& Application::makeWindow() {
    window_ = std::make_unique<MainWindow>(
        agenda_, MainWindowServices{services_.clock, services_.dialogs, services_.files,
                                    services_.archiveViewer, services_.printer});
    MainWindow* window = window_.get();
    connect(window, &MainWindow::remindersRequested, this, [this] { digest_->run(); });
    connect(window, &MainWindow::alarmTestRequested, &alarms_, &AlarmRinger::testAlarm);
    connect(window, &MainWindow::alarmWarningChosen, &alarms_, &AlarmRinger::setWarningMinutes);
    connect(window, &MainWindow::importRequested, &importer_, &CalendarImporter::importFile);
    connect(window, &MainWindow::hideRequested, &tray_, &TrayController::hideToTray);
    connect(window, &MainWindow::serverSetupRequested, this, &Application::openServerSetup);
    connect(window, &MainWindow::syncRequested, &sync_, [this] { sync_.syncNow(true); });
    connect(&caption_, &CaptionClock::captionChanged, window, &QWidget::setWindowTitle);
    tray_.setMainWindow(window);
    lifetime_.setMainWindow(window);
    importProgress_.setWindow(window);
    if (windowPresenter_) windowPresenter_->setMainWindow(window);
    Q_EMIT windowChanged(window);
    return *window;
}

void Application::closeWindow() {
    window_.reset();
    Q_EMIT windowChanged(nullptr);
}

void Application::load() {
    if (loaded_) return;
    loaded_ = true;
    MainWindow& window = *window_;
    window.prepare();
    agenda_.loadSettings();
    window.showSettings();
    agenda_.loadLists();
    paintUrgencyColours(agenda_);
    agenda_.setListsModified(false);
    caption_.start();
    alarms_.start();
    // The first sync once the alarms run: its requests never delay an alarm
    // or the digest, and what it takes waits until no question is open.
    QTimer::singleShot(0, &sync_, [this] {
        if (!lifetime_.isEnding()) sync_.start();
    });
    digest_->run();
    if (lifetime_.isEnding()) return;  // asked to end while the digest waited
    tray_.addIcon();
}

int Application::run() {
    load();
    // Asked to end while the start-up digest waited: the event loop never
    // starts.
    if (lifetime_.isEnding()) return 0;
    window_->show();
    return QApplication::exec();
}

void Application::openMainWindow() {
    if (!window_) {
        MainWindow& window = makeWindow();
        window.prepare();
        window.showSettings();
    }
    tray_.openMainWindow();
}

void Application::importCalendarFile(const QString& path) {
    openMainWindow();
    importer_.importFile(path);
}

void Application::listenTo(SingleInstance& instance) {
    connect(&instance, &SingleInstance::showRequested, this, &Application::openMainWindow);
    connect(&instance, &SingleInstance::importRequested, this, &Application::importCalendarFile);
    connect(&instance, &SingleInstance::syncRequested, &sync_, [this] { sync_.syncNow(false); });
}

void Application::watchTermination() {
    if (termination_) return;
    termination_ = std::make_unique<TerminationWatcher>();
    connect(termination_.get(), &TerminationWatcher::terminationRequested, &lifetime_,
            &ProgramLifetime::terminate);
}

void Application::openServerSetup() {
    ServerDialog dialog(&network_, *services_.dialogs, sync_.account(), sync_.password(),
                        window_.get());
    dialog.exec();
    const ServerDialog::Outcome outcome = dialog.outcome();
    if (outcome.choice == ServerDialog::Outcome::Choice::TurnedOff) {
        sync_.turnOff();
    } else if (outcome.choice == ServerDialog::Outcome::Choice::Saved) {
        if (const auto error = sync_.setAccount(outcome.account, outcome.password))
            services_.dialogs->notice(
                QStringLiteral("Impostazioni del server non salvate: %1").arg(*error),
                MsgIcon::Critical, QStringLiteral("Calendario sul server"));
    }
}
