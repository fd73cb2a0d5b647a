#include "notify/logic/alarmnotice.h"

#include "core/clock.h"

namespace {

const QString kDefaultAction = QStringLiteral("default");
const QString kSilenceAction = QStringLiteral("silenzia");

}  // namespace

AlarmNotice::AlarmNotice(DesktopNotifications* service, const Clock& clock, QObject* parent)
    : QObject(parent), service_(service), clock_(clock) {
    if (!service_) return;
    connect(service_, &DesktopNotifications::actionInvoked, this, &AlarmNotice::onAction);
    connect(service_, &DesktopNotifications::closed, this, &AlarmNotice::onClosed);
}

DesktopNotice AlarmNotice::NoticeFor(const QString& text, const QTime& minute) {
    DesktopNotice notice;
    notice.summary = QStringLiteral("Ricordel - ore %1:%2")
                         .arg(minute.hour())
                         .arg(minute.minute(), 2, 10, QLatin1Char('0'));
    notice.body = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    notice.actions = {{kDefaultAction, QStringLiteral("Apri")},
                      {kSilenceAction, QStringLiteral("Silenzia")}};
    return notice;
}

void AlarmNotice::TextChanged(const QString& text) {
    if (!service_) return;
    if (text.isEmpty()) {
        Withdraw();
        return;
    }
    const DesktopNotice notice = NoticeFor(text, clock_.now().time());
    if (handle_)
        service_->Update(handle_, notice);
    else
        handle_ = service_->Post(notice);
}

void AlarmNotice::Withdraw() {
    if (!handle_) return;
    const int handle = handle_;
    handle_ = 0;
    if (service_) service_->Withdraw(handle);
}

void AlarmNotice::onAction(int handle, const QString& key) {
    if (handle != handle_ || !handle_) return;
    if (key == kDefaultAction)
        Q_EMIT bringToFrontRequested();
    else if (key == kSilenceAction)
        Q_EMIT acknowledgeRequested();
}

void AlarmNotice::onClosed(int handle) {
    if (handle == handle_) handle_ = 0;
}
