#include "operations/postpone.h"

#include <algorithm>
#include <optional>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "operations/operations.h"
#include "operations/rowcommand.h"

QDateTime movedByMinutes(const QDate& date, const QTime& time, int minutes) {
    // Wall minutes, free of daylight-saving gaps and of the time zone.
    const WallMinute moved =
        WallMinute::fromIndex(WallMinute::of(QDateTime(date, time, Qt::UTC)).index() + minutes);
    return QDateTime(moved.day, moved.time(), Qt::UTC);
}

QString postponedTimeText(const QTime& time) {
    return QStringLiteral("%1:%2")
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

QDate movedByDays(const QDate& date, int days) {
    if (days != kMonthStep) return date.addDays(days);
    int month = date.month() + 1;
    int year = date.year();
    if (month == 13) {
        month = 1;
        ++year;
    }
    // From the 31st, or from 30 January, the next month lacks the day: its
    // last day is the nearest date the user can mean.
    const int day = std::min(date.day(), QDate(year, month, 1).daysInMonth());
    // The month step never stores 29 February: in a common year it could not
    // be read back.
    if (month == 2 && day == 29) return QDate(year, 2, 28);
    return QDate(year, month, day);
}

void postponeByMinutes(Agenda& agenda, ListSelection& shown, int minutes) {
    RowCommand command(agenda, shown);
    if (!command.hasRow()) return;
    const AgendaEntry entry = command.entry();
    Dialogs& dialogs = agenda.dialogs();

    if (entry.time.trimmed().isEmpty()) {
        dialogs.notice(QStringLiteral("Nessun ORARIO impostato"), MsgIcon::Exclamation,
                       QStringLiteral("Avviso"));
        return;
    }
    const std::optional<QDate> date = entryDate(entry.date, agenda.clock().year());
    if (!date) {
        dialogs.notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
        return;
    }
    const std::optional<QTime> time = parseTimeText(entry.time);
    if (!time) {
        dialogs.notice(QStringLiteral("Orario non valido"), MsgIcon::Critical, QString());
        return;
    }
    if (!command.confirm(QStringLiteral("CONFERMA SPOSTAMENTO"))) return;

    const QDateTime moved = movedByMinutes(*date, *time, minutes);
    ListModel& list = agenda.appointments();
    list.setText(command.row(), ListModel::ColDate, formatDateText(moved.date()));
    list.setText(command.row(), ListModel::ColTime, postponedTimeText(moved.time()));
    saveAll(agenda, &shown);
}

void postponeByDays(Agenda& agenda, ListSelection& shown, int days) {
    RowCommand command(agenda, shown);
    if (!command.hasRow()) return;
    const AgendaEntry entry = command.entry();

    const std::optional<QDate> date = entryDate(entry.date, agenda.clock().year());
    if (!date) {
        agenda.dialogs().notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
        return;
    }
    const QDate moved = movedByDays(*date, days);
    if (!command.confirm(QStringLiteral("CONFERMA SPOSTAMENTO"))) return;

    agenda.appointments().setText(command.row(), ListModel::ColDate, formatDateText(moved));
    saveAll(agenda, &shown);
}
