#include "core/dates.h"

namespace {

// Reads "d/m" with optional blanks around the text; both parts plain digits.
bool splitDateText(const QString& text, int& day, int& month) {
    const QString t = text.trimmed();
    const qsizetype slash = t.indexOf(u'/');
    if (slash <= 0 || slash == t.size() - 1) return false;
    if (t.indexOf(u'/', slash + 1) >= 0) return false;  // carries a year, or worse
    auto readPart = [](QStringView part, int& out) {
        if (part.isEmpty() || part.size() > 4) return false;
        int v = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9') return false;
            v = v * 10 + (c.unicode() - u'0');
        }
        out = v;
        return true;
    };
    return readPart(QStringView(t).left(slash), day) &&
           readPart(QStringView(t).mid(slash + 1), month);
}

}  // namespace

std::optional<DayMonth> parseDateText(const QString& dateText, int year) {
    int day = 0, month = 0;
    if (!splitDateText(dateText, day, month)) return std::nullopt;
    if (!QDate::isValid(year, month, day)) return std::nullopt;
    return DayMonth{day, month};
}

std::optional<QDate> entryDate(const QString& dateText, int year) {
    const auto dm = parseDateText(dateText, year);
    if (!dm) return std::nullopt;
    return QDate(year, dm->month, dm->day);
}

std::optional<DayMonth> dateTextOfAnyYear(const QString& dateText) {
    return parseDateText(dateText, 2000);  // a leap year holds every day of every year
}

bool readShortNumber(QStringView text, int& value) {
    if (text.isEmpty() || text.size() > 2) return false;
    value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return true;
}

QString formatDateText(int day, int month) {
    return QString::number(day) + u'/' + QString::number(month);
}

QString formatDateText(const QDate& date) {
    return formatDateText(date.day(), date.month());
}

std::optional<QTime> parseTimeText(const QString& timeText) {
    const QString t = timeText.trimmed();
    qsizetype sep = t.indexOf(u':');
    if (sep < 0) sep = t.indexOf(u'.');
    if (sep < 1 || sep > 2 || t.size() - sep - 1 != 2) return std::nullopt;
    int h = 0, m = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (i == sep) continue;
        if (t[i] < u'0' || t[i] > u'9') return std::nullopt;
        (i < sep ? h : m) = (i < sep ? h : m) * 10 + (t[i].unicode() - u'0');
    }
    if (h > 23 || m > 59) return std::nullopt;
    return QTime(h, m);
}

QString formatTimeText(const QTime& time) {
    return time.toString(QStringLiteral("H:mm"));
}

qint64 wallSeconds(const QDateTime& t) {
    return t.date().toJulianDay() * 86400 + t.time().msecsSinceStartOfDay() / 1000;
}

WallMinute WallMinute::of(const QDateTime& t) {
    return {t.date(), t.time().hour() * 60 + t.time().minute()};
}

WallMinute WallMinute::fromIndex(qint64 index) {
    const qint64 day = index >= 0 ? index / 1440 : (index - 1439) / 1440;
    return {QDate::fromJulianDay(day), static_cast<int>(index - day * 1440)};
}
