#include "notify/logic/alarmnotice.h"

#include <algorithm>

#include "core/dates.h"

namespace {

const QString kDefaultAction = QStringLiteral("default");
const QString kSilenceAction = QStringLiteral("silenzia");
const QString kSnoozeAction = QStringLiteral("ripeti");

}  // namespace

AlarmNotice::AlarmNotice(DesktopNotifications* service, QObject* parent)
    : QObject(parent), service_(service) {
    if (!service_) return;
    connect(service_, &DesktopNotifications::actionInvoked, this, &AlarmNotice::onAction);
    connect(service_, &DesktopNotifications::closed, this, &AlarmNotice::onClosed);
}

DesktopNotice AlarmNotice::noticeFor(const QList<Alarm>& alarms, const QStringList& lines) {
    DesktopNotice notice;
    const QTime first = alarms.isEmpty() ? QTime() : alarms.first().at.time();
    notice.summary = QStringLiteral("Ricordel - ore %1").arg(formatTimeText(first));
    // A notice is a glance, not the whole list: the window keeps every line.
    QStringList shown = lines.mid(0, kMaxLines);
    if (lines.size() > kMaxLines)
        shown << QStringLiteral("... e altri %1 avvisi").arg(lines.size() - kMaxLines);
    notice.body = shown.join(QLatin1Char('\n'));
    notice.actions = {{kDefaultAction, QStringLiteral("Apri")},
                      {kSilenceAction, QStringLiteral("Silenzia")},
                      {kSnoozeAction, QStringLiteral("Ripeti tra 10 minuti")}};
    const bool due = std::any_of(alarms.cbegin(), alarms.cend(),
                                 [](const Alarm& a) { return a.keepsRinging(); });
    notice.urgency = due ? 2 : 1;
    return notice;
}

void AlarmNotice::show(const QList<Alarm>& alarms, const QStringList& lines) {
    if (!service_) return;
    if (lines.isEmpty()) {
        withdraw();
        return;
    }
    const DesktopNotice notice = noticeFor(alarms, lines);
    if (handle_)
        service_->update(handle_, notice);
    else
        handle_ = service_->post(notice);
}

void AlarmNotice::withdraw() {
    if (!handle_) return;
    const int handle = handle_;
    handle_ = 0;
    if (service_) service_->withdraw(handle);
}

void AlarmNotice::onAction(int handle, const QString& key) {
    if (handle != handle_ || !handle_) return;
    if (key == kDefaultAction)
        Q_EMIT bringToFrontRequested();
    else if (key == kSilenceAction)
        Q_EMIT acknowledgeRequested();
    else if (key == kSnoozeAction)
        Q_EMIT snoozeRequested(kSnoozeMinutes);
}

void AlarmNotice::onClosed(int handle) {
    if (handle == handle_) handle_ = 0;
}
