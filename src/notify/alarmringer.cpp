#include "notify/alarmringer.h"

#include "core/agenda.h"
#include "core/clock.h"
#include "core/dates.h"
#include "core/dialogs.h"
#include "core/listmodel.h"
#include "core/settings.h"
#include "notify/alarmwindow.h"
#include "notify/logic/alarmengine.h"
#include "notify/logic/alarmnotice.h"

namespace {

const QStringList kTestAlarmLines = {QStringLiteral("Smack"), QStringLiteral("to"),
                                     QStringLiteral("ZOLE")};

}  // namespace

AlarmRinger::AlarmRinger(Agenda& agenda, const Clock& clock, Dialogs& dialogs,
                         SoundPlayerFactory makePlayer, DesktopNotifications* notifications,
                         QObject* parent)
    : QObject(parent),
      agenda_(agenda),
      clock_(clock),
      dialogs_(dialogs),
      makePlayer_(std::move(makePlayer)),
      engine_(new AlarmEngine(clock, agenda.filePath(listFileName(ListKind::Appointments)), this)),
      notice_(new AlarmNotice(notifications, this)) {
    connect(engine_, &AlarmEngine::alarmsDue, this, &AlarmRinger::raiseAlarms);
    // A save of the appointments looks at the current minute again at once.
    connect(&agenda_, &Agenda::listSaved, this, [this](ListKind kind) {
        if (kind != ListKind::Appointments) return;
        engine_->appointmentsSaved();
        reportTimesThatCannotRing();
    });
}

void AlarmRinger::reportTimesThatCannotRing() {
    const ListModel& list = agenda_.appointments();
    const QDate today = clock_.today();
    QStringList lines;
    for (int row = 0; row < list.entryCount(); ++row) {
        // A shared time text is a time of day, and none is no time at all.
        if (list.sharedTime(row) >= 0) continue;
        const QString text = list.text(row, ListModel::ColTime);
        const QString time = text.trimmed();
        if (time.isEmpty() || parseTimeText(time)) continue;
        const QString date = list.text(row, ListModel::ColDate);
        const std::optional<QDate> day = entryDate(date, today.year());
        if (!day || *day < today) continue;
        const QString message = list.text(row, ListModel::ColMessage);
        if (!reportedTimes_.insert(date + QLatin1Char('|') + message + QLatin1Char('|') + time)
                 .second)
            continue;
        lines << QStringLiteral(
                     "L'ora «%1» dell'appuntamento del %2 «%3» non è un'ora valida: "
                     "l'allarme non suonerà.")
                     .arg(text, date, message);
    }
    if (!lines.isEmpty())
        dialogs_.notice(lines.join(QLatin1Char('\n')), MsgIcon::Exclamation,
                        QStringLiteral("ORARIO NON VALIDO"));
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
