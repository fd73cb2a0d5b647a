#include "notify/logic/alarmengine.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <algorithm>

#include "core/agendaentry.h"
#include "core/clock.h"
#include "core/fileio.h"
#include "core/itemreader.h"
#include "core/listkind.h"
#include "core/win1252.h"

namespace {

const QString kSnoozeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
constexpr qint64 kMinutesPerDay = 1440;

QString identity(const Alarm& alarm) {
    const qint64 at =
        alarm.kind == AlarmKind::Snoozed ? wallSeconds(alarm.at) : WallMinute::of(alarm.at).index();
    return QString::number(static_cast<int>(alarm.kind)) + QLatin1Char('|') + QString::number(at) +
           QLatin1Char('|') + alarm.message;
}

// The wall-clock day and time of a minute, as they read on the clock. Kept
// apart from any time zone, so a minute the spring clock change skips (2:30)
// still reads as itself instead of an invalid local time.
QDateTime dateTimeOf(qint64 wallMinuteIndex) {
    const WallMinute m = WallMinute::fromIndex(wallMinuteIndex);
    return QDateTime(m.day, m.time(), Qt::UTC);
}

}  // namespace

AlarmEngine::AlarmEngine(const Clock& clock, const QString& appointmentsFile, QObject* parent)
    : QObject(parent),
      clock_(clock),
      appointments_(appointmentsFile),
      minuteTimer_(new QTimer(this)),
      pollTimer_(new QTimer(this)) {
    last_ = WallMinute::of(clock_.now());

    minuteTimer_->setObjectName(QStringLiteral("Timer1"));
    minuteTimer_->setSingleShot(true);
    minuteTimer_->setTimerType(Qt::PreciseTimer);
    connect(minuteTimer_, &QTimer::timeout, this, &AlarmEngine::check);
    pollTimer_->setObjectName(QStringLiteral("AlarmPoll"));
    pollTimer_->setInterval(1000);
    connect(pollTimer_, &QTimer::timeout, this, &AlarmEngine::poll);
}

AlarmEngine::~AlarmEngine() = default;

void AlarmEngine::setWarningMinutes(int minutes) {
    warningMinutes_ = std::clamp(minutes, 0, 1440);
}

void AlarmEngine::start() {
    running_ = true;
    pollTimer_->start();
    check();
}

void AlarmEngine::stop() {
    running_ = false;
    minuteTimer_->stop();
    pollTimer_->stop();
}

int AlarmEngine::msecsToNextMinute(const QDateTime& now) {
    const QTime t = now.time();
    const int intoMinute = t.second() * 1000 + t.msec();
    // A little past the boundary, so the check reads the new minute even when
    // the timer fires a few milliseconds early.
    return 60000 - intoMinute + 20;
}

AlarmEngine::FileStamp AlarmEngine::stampOf(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists()) return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch(),
            info.metadataChangeTime().toMSecsSinceEpoch()};
}

void AlarmEngine::poll() {
    if (!running_) return;
    const QDateTime now = clock_.now();
    if (!(WallMinute::of(now) == last_) || snoozeDue(now) ||
        !(stampOf(appointments_.path()) == stamp_)) {
        check();
    }
}

void AlarmEngine::appointmentsSaved() {
    if (!running_ || recheckQueued_) return;
    recheckQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        recheckQueued_ = false;
        if (running_) check();
    });
}

bool AlarmEngine::snoozeDue(const QDateTime& now) const {
    const qint64 nowSecs = wallSeconds(now);
    return std::any_of(snoozes_.cbegin(), snoozes_.cend(),
                       [nowSecs](const Alarm& a) { return wallSeconds(a.at) <= nowSecs; });
}

void AlarmEngine::forgetAcrossDays(const WallMinute& now) {
    const qint64 today = now.day.toJulianDay();
    const qint64 lastDay = last_.day.toJulianDay();
    if (today < lastDay) {
        // The date was set back: what rang on the days after the new one
        // rings again on its real day.
        rung_.removeIf([today](const auto& entry) { return entry.value() > today; });
    } else if (today == lastDay + 1) {
        // An ordinary midnight: yesterday's record stays, for a clock set back
        // over midnight. A jump of several days keeps every record, so that a
        // date set ahead by mistake and corrected leaves today's intact.
        rung_.removeIf([today](const auto& entry) { return entry.value() < today - 1; });
    }
}

void AlarmEngine::takeIfNotRung(const Alarm& alarm, qint64 day, QSet<QString>& ringingNow,
                                QList<Alarm>& out) {
    const QString key = identity(alarm);
    // Two identical records of one minute ring together, as two lines.
    if (rung_.contains(key) && !ringingNow.contains(key)) return;
    ringingNow.insert(key);
    rung_.insert(key, day);
    out.append(alarm);
}

void AlarmEngine::seedStartUpMinute() {
    // What the file holds for the start-up minute, and the warnings whose
    // minute it is or has passed, count as rung: the digest has just shown
    // the day. What is saved for that minute afterwards still rings.
    seeded_ = true;
    const qint64 s = last_.index();
    const qint64 day = last_.day.toJulianDay();
    for (const AlarmIndex::Due& d : appointments_.between(s, s))
        rung_.insert(identity({AlarmKind::Due, dateTimeOf(d.minute), d.message}), day);
    if (warningMinutes_ > 0) {
        for (const AlarmIndex::Due& d : appointments_.between(s + 1, s + warningMinutes_))
            rung_.insert(identity({AlarmKind::Warning, dateTimeOf(d.minute), d.message}), day);
    }
}

void AlarmEngine::check() {
    const QDateTime now = clock_.now();
    const WallMinute current = WallMinute::of(now);
    if (!current.isValid()) return;
    const qint64 c = current.index();
    const qint64 today = current.day.toJulianDay();

    // The stamp first: a write after it is seen by the next look.
    stamp_ = stampOf(appointments_.path());
    appointments_.refresh();
    if (!seeded_) seedStartUpMinute();
    forgetAcrossDays(current);

    // The window of minutes whose alarms ring now. The current minute is
    // always in it, so a save for now rings now; what rang stays rung.
    qint64 from = c;
    if (c > last_.index()) {
        from = c - last_.index() <= kMinutesPerDay ? last_.index() + 1
                                                   : WallMinute{current.day, 0}.index();
    }
    last_ = current;

    QList<Alarm> due;
    QSet<QString> ringingNow;
    for (const AlarmIndex::Due& d : appointments_.between(from, c))
        takeIfNotRung({AlarmKind::Due, dateTimeOf(d.minute), d.message}, today, ringingNow, due);

    QList<Alarm> snoozed;
    const qint64 nowSecs = wallSeconds(now);
    bool snoozesChanged = false;
    for (auto it = snoozes_.begin(); it != snoozes_.end();) {
        if (wallSeconds(it->at) <= nowSecs) {
            snoozed.append(*it);
            it = snoozes_.erase(it);
            snoozesChanged = true;
        } else {
            ++it;
        }
    }

    // Warnings of the appointments still ahead within the warning minutes.
    QList<Alarm> warnings;
    if (warningMinutes_ > 0) {
        for (const AlarmIndex::Due& d : appointments_.between(c + 1, c + warningMinutes_))
            takeIfNotRung({AlarmKind::Warning, dateTimeOf(d.minute), d.message}, today, ringingNow,
                          warnings);
    }

    if (snoozesChanged) saveSnoozes();
    if (running_) minuteTimer_->start(msecsToNextMinute(now));
    const QList<Alarm> all = due + snoozed + warnings;
    if (!all.isEmpty()) Q_EMIT alarmsDue(all);
}

void AlarmEngine::snooze(const QList<Alarm>& alarms, int minutes) {
    if (alarms.isEmpty() || minutes <= 0) return;
    const QDateTime when = clock_.now().addSecs(qint64(minutes) * 60);
    for (const Alarm& alarm : alarms) snoozes_.append({AlarmKind::Snoozed, when, alarm.message});
    saveSnoozes();
}

// ---------------------------------------------------------------- the file

QByteArray serializeSnoozes(const QList<Alarm>& snoozes) {
    QByteArray out;
    for (const Alarm& alarm : snoozes) {
        out += '"' + alarm.at.toString(kSnoozeFormat).toLatin1() + "\",\"" +
               win1252::encode(cleanCellText(alarm.message)) + "\"\r\n";
    }
    return out;
}

QList<Alarm> parseSnoozes(const QByteArray& bytes, bool* damaged) {
    QList<Alarm> out;
    bool bad = false;
    ItemReader reader(bytes);
    for (;;) {
        reader.skipBlankLines();
        if (reader.atEnd()) break;
        reader.beginLine();
        QList<FileItem> items;
        do {
            items.append(reader.next());
        } while (!reader.lineEnded());
        const QDateTime at =
            items.size() == 2 ? QDateTime::fromString(items[0].text, kSnoozeFormat) : QDateTime();
        if (!at.isValid()) {
            bad = true;
            continue;
        }
        // Cleaned as typed text is, as the list files' messages are: a TAB or a
        // double quote the file holds never reaches the alarm window.
        out.append({AlarmKind::Snoozed, at, cleanCellText(items[1].text)});
    }
    if (damaged) *damaged = bad;
    return out;
}

void AlarmEngine::setSnoozeFile(const QString& fileName) {
    snoozeFile_ = fileName;
    loadSnoozes();
}

void AlarmEngine::loadSnoozes() {
    snoozes_.clear();
    if (snoozeFile_.isEmpty() || !QFile::exists(snoozeFile_)) return;
    bool damaged = true;
    if (const auto bytes = readWholeFile(snoozeFile_)) snoozes_ = parseSnoozes(*bytes, &damaged);
    if (!damaged) return;
    const QString aside = snoozeFile_ + QStringLiteral(".danneggiato");
    QFile::remove(aside);
    const bool moved = QFile::rename(snoozeFile_, aside);
    qWarning("Ricordel: il file \"%s\" non si legge per intero: %s; ripetizioni lette: %d",
             qPrintable(snoozeFile_),
             moved ? qPrintable(QStringLiteral("messo da parte come \"%1\"").arg(aside))
                   : "non è stato possibile metterlo da parte",
             static_cast<int>(snoozes_.size()));
    if (moved && !snoozes_.isEmpty()) saveSnoozes();
}

void AlarmEngine::saveSnoozes() {
    if (snoozeFile_.isEmpty() || !writing_) return;
    if (snoozes_.isEmpty()) {
        if (QFile::exists(snoozeFile_) && !QFile::remove(snoozeFile_))
            qWarning("Ricordel: impossibile togliere il file \"%s\"", qPrintable(snoozeFile_));
        return;
    }
    if (const auto error = writeFileAtomically(snoozeFile_, serializeSnoozes(snoozes_)))
        qWarning("Ricordel: impossibile salvare il file \"%s\": %s", qPrintable(snoozeFile_),
                 qPrintable(*error));
}
