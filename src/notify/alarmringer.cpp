#include "notify/alarmringer.h"

#include "core/agenda.h"
#include "core/clock.h"
#include "core/settings.h"
#include "notify/alarmwindow.h"
#include "notify/logic/alarmengine.h"
#include "notify/logic/alarmnotice.h"

namespace {

const QStringList kTestAlarmLines = {QStringLiteral("Smack"), QStringLiteral("to"),
                                     QStringLiteral("ZOLE")};

}  // namespace

AlarmRinger::AlarmRinger(Agenda& agenda, const Clock& clock, SoundPlayerFactory makePlayer,
                         DesktopNotifications* notifications, QObject* parent)
    : QObject(parent),
      agenda_(agenda),
      clock_(clock),
      makePlayer_(std::move(makePlayer)),
      engine_(new AlarmEngine(clock, this)),
      notice_(new AlarmNotice(notifications, this)) {
    engine_->setAppointmentsFile(
        agenda_.filePath(QString::fromLatin1(listTraits(ListKind::Appointments).fileName)));
    connect(engine_, &AlarmEngine::alarmsDue, this, &AlarmRinger::raiseAlarms);
    // A save of the appointments looks at the current minute again at once.
    connect(&agenda_, &Agenda::listSaved, this, [this](ListKind kind) {
        if (kind == ListKind::Appointments) engine_->appointmentsSaved();
    });
}

AlarmRinger::~AlarmRinger() {
    delete window_.data();
}

void AlarmRinger::start() {
    engine_->setWarningMinutes(agenda_.settings().alarmWarningMinutes);
    engine_->setSnoozeFile(agenda_.filePath(QString::fromLatin1(kSnoozeFileName)));
    engine_->start();
}

void AlarmRinger::setWarningMinutes(int minutes) {
    engine_->setWarningMinutes(minutes);
    if (engine_->isRunning()) engine_->check();
}

void AlarmRinger::checkAlarms() {
    engine_->check();
}

void AlarmRinger::stop() {
    engine_->stop();
    engine_->stopWriting();
    if (AlarmWindow* window = alarmWindow()) window->close();
    notice_->withdraw();
}

AlarmWindow* AlarmRinger::alarmWindow() const {
    // A closed window is gone for the alarms, though not yet destroyed.
    return window_ && !window_->isClosed() ? window_.data() : nullptr;
}

AlarmWindow* AlarmRinger::loadAlarmWindow() {
    if (!alarmWindow()) {
        window_ = new AlarmWindow(makePlayer_ ? makePlayer_() : nullptr, agenda_.settings());
        window_->attachNotice(notice_);
        connect(window_, &AlarmWindow::snoozeRequested, engine_, &AlarmEngine::snooze);
    }
    return window_;
}

void AlarmRinger::raiseAlarms(const QList<Alarm>& alarms) {
    // One batch, one update of the window: a minute with thousands of
    // appointments is shown at once.
    Q_EMIT aboutToRing();
    AlarmWindow* window = loadAlarmWindow();
    window->addAlarms(alarms, clock_.now());
    window->showAlarm();
}

void AlarmRinger::testAlarm() {
    Q_EMIT aboutToRing();
    AlarmWindow* window = loadAlarmWindow();
    const QDateTime now = clock_.now();
    QList<Alarm> lines;
    for (const QString& line : kTestAlarmLines) lines.append({AlarmKind::Due, now, line});
    window->setAlarms(lines, now);
    window->showAlarm();
}
