#include "notify/notifier.h"

#include "core/clock.h"
#include "core/dialogs.h"
#include "notify/alarmringer.h"
#include "notify/captionclock.h"
#include "notify/digestrunner.h"
#include "notify/programlifetime.h"
#include "notify/traycontroller.h"
#include "notify/windowreminderpresenter.h"

Notifier::Notifier(Agenda& agenda, QWidget* mainWindow, NotifierServices services, QObject* parent)
    : QObject(parent) {
    Q_ASSERT(services.clock && services.dialogs);
    ReminderPresenter* presenter = services.presenter;
    if (!presenter) {
        windowPresenter_ =
            std::make_unique<WindowReminderPresenter>(services.makePlayer, mainWindow);
        presenter = windowPresenter_.get();
    }
    digest_ = std::make_unique<DigestRunner>(agenda, *services.clock, *presenter);
    alarms_ =
        new AlarmRinger(agenda, *services.clock, services.makePlayer, services.notifications, this);
    caption_ = new CaptionClock(mainWindow, this);
    tray_ = new TrayController(services.tray, mainWindow, this);
    lifetime_ = new ProgramLifetime(agenda, *services.dialogs, mainWindow, this);

    connect(alarms_, &AlarmRinger::aboutToRing, tray_, &TrayController::openMainWindow);
    connect(caption_, &CaptionClock::captionChanged, this, &Notifier::captionChanged);
    connect(caption_, &CaptionClock::repaintColoursRequested, this,
            &Notifier::repaintColoursRequested);
    connect(lifetime_, &ProgramLifetime::saveAllRequested, this, &Notifier::saveAllRequested);
    connect(lifetime_, &ProgramLifetime::endingStarted, this, [this] {
        digest_->cancel();
        alarms_->stop();
        caption_->stop();
        tray_->removeIcon();
    });
    connect(lifetime_, &ProgramLifetime::quitRequested, this, &Notifier::quitRequested);
}

Notifier::~Notifier() = default;

void Notifier::finishStartUp() {
    startTimers();
    showReminders();
    if (isEnding()) return;  // asked to end while the digest waited
    tray_->addIcon();
}

void Notifier::startTimers() {
    caption_->start();
    alarms_->start();
}

void Notifier::showReminders() {
    digest_->run();
}

bool Notifier::stopReminders() const {
    return windowPresenter_ && windowPresenter_->stopReminders();
}

AssistantWindow* Notifier::assistantWindow() const {
    return windowPresenter_ ? windowPresenter_->assistant() : nullptr;
}

void Notifier::testAlarm() {
    alarms_->testAlarm();
}

void Notifier::setAlarmWarningMinutes(int minutes) {
    alarms_->setWarningMinutes(minutes);
}

void Notifier::setTrayMenu(QMenu* menu) {
    tray_->setMenu(menu, {
                             {"mnuVisMess", [this] { showReminders(); }},
                             {"mnuApriMess", [this] { openMainWindow(); }},
                             {"mnuProva", [this] { testAlarm(); }},
                             {"mnuChiudi", [this] { closeProgram(); }},
                         });
}

void Notifier::hideToTray() {
    tray_->hideToTray();
}

void Notifier::openMainWindow() {
    tray_->openMainWindow();
}

bool Notifier::isInTray() const {
    return tray_->isInTray();
}

void Notifier::closeProgram() {
    lifetime_->closeProgram();
}

void Notifier::terminate() {
    lifetime_->terminate();
}

bool Notifier::isEnding() const {
    return lifetime_->isEnding();
}
