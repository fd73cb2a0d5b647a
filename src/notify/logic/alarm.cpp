#include "notify/logic/alarm.h"


#include "core/dates.h"
#include "core/listkind.h"

bool TimeRingsAt(const QString& timeText, const QTime& minute) {
    const std::optional<QTime> t = ParseTimeText(timeText);
    return t && t->hour() == minute.hour() && t->minute() == minute.minute();
}

AlarmIndex::AlarmIndex(const QList<ListRecord>& appointments, int year) : year_(year) {
    for (qsizetype i = 0; i < appointments.size(); ++i) {
        const ListRecord& record = appointments[i];
        if (record.time.isEmpty()) continue;
        // The entry date of "day/month" in this year, checked on the numbers
        // instead of a built text: the tick after a save stays quick.
        if (record.day <= 0 || record.month <= 0 || !QDate::isValid(year, record.month, record.day))
            continue;
        const std::optional<QTime> time = ParseTimeText(record.time);
        if (!time) continue;
        const int dayOfYear = QDate(year, record.month, record.day).dayOfYear();
        due_.push_back({dayOfYear, time->hour() * 60 + time->minute(), messages_.size()});
        messages_ << record.message;
    }
}

QStringList AlarmIndex::MessagesAt(const QDate& day, const QTime& minute) const {
    QStringList out;
    if (day.year() != year_ || !minute.isValid()) return out;
    const int dayOfYear = day.dayOfYear();
    const int minuteOfDay = minute.hour() * 60 + minute.minute();
    for (const Due& d : due_) {
        if (d.dayOfYear == dayOfYear && d.minuteOfDay == minuteOfDay) out << messages_[d.record];
    }
    return out;
}

QStringList DueAlarms(const QList<ListRecord>& appointments, const QDate& day,
                      const QTime& minute) {
    return AlarmIndex(appointments, day.year()).MessagesAt(day, minute);
}

const AlarmIndex& AppointmentFileCache::IndexFor(const QDate& day) {
    QByteArray now;
    if (ReadWholeFile(QString::fromLatin1(Traits(ListKind::Appuntamenti).fileName), now))
        now.clear();  // missing or unreadable: no appointments
    if (!valid_ || now != bytes_) {
        bytes_ = std::move(now);
        valid_ = true;
        ++loads_;
        index_ = AlarmIndex(ParseListRecords(bytes_, ListKind::Appuntamenti), day.year());
    } else if (index_.year() != day.year()) {
        index_ = AlarmIndex(ParseListRecords(bytes_, ListKind::Appuntamenti), day.year());
    }
    return index_;
}
