#pragma once

// What every figure shares: seams that never wait for anyone, a scratch
// folder, the generated appointments and the printing of a figure.

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/agendaentry.h"
#include "core/clock.h"
#include "core/dialogs.h"

namespace bench {

// Boxes would stop a benchmark: every question is answered No, and each one
// is counted so a figure can tell it was asked.
class SilentDialogs final : public Dialogs {
  public:
    int shown = 0;
    MsgAnswer message(const QString&, MsgButtons buttons, MsgIcon,
                      const std::optional<QString>&) override {
        ++shown;
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
    QString input(const QString&, const std::optional<QString>&, const QString&) override {
        ++shown;
        return {};
    }
};

// The day every figure runs on: mid-June, so the generated year has entries
// on both sides of it.
inline QDateTime benchNow() {
    return QDateTime(QDate(2026, 6, 15), QTime(12, 0));
}

class FixedClock final : public Clock {
  public:
    QDateTime now() const override { return benchNow(); }
};

// A clock the alarm figure moves on by hand, a minute at a time.
class SteppedClock final : public Clock {
  public:
    explicit SteppedClock(QDateTime now) : now_(std::move(now)) {}
    QDateTime now() const override { return now_; }
    void advanceSecs(qint64 secs) { now_ = now_.addSecs(secs); }

  private:
    QDateTime now_;
};

// A temporary folder made the current one for the life of the object.
class ScratchFolder {
  public:
    ScratchFolder() : old_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ScratchFolder() { QDir::setCurrent(old_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool ok() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }

  private:
    QString old_;
    QTemporaryDir dir_;
};

// Appointments spread over the year 2026 with many equal keys, a few without
// a time and a few written with a leading zero. Times fall on quarter hours.
QList<AgendaEntry> randomAppointments(int count, quint32 seed);

// Writes the three list files of the current folder with `perList` generated
// entries each (no times outside the appointments), and a settings file with
// a week of notice. Returns false with a message on stderr when it cannot.
bool writeListFiles(int perList, quint32 seed);
// The seed of the start-up figures' lists.
inline constexpr quint32 kStartupSeed = 11;

// How many samples each figure takes its median of.
inline constexpr int kSamples = 7;

void print(const char* name, double value, const char* unit);

// A goal set as a ratio to a floor measured in the same run: prints the
// figure with its ratio and whether the goal holds. `limit` is the largest
// ratio allowed.
void printAgainstFloor(const char* name, double value, const char* unit, const char* floorName,
                       double floor, double limit);
// A goal set as the floor plus an allowance in the same unit.
void printAgainstAllowance(const char* name, double value, const char* unit, const char* floorName,
                           double floor, double allowance);
// A goal set as a fixed bound: at least (`atLeast`) or under `bound`.
void printAgainstBound(const char* name, double value, const char* unit, double bound,
                       bool atLeast);

inline double elapsedMillis(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The figures that live in files of their own.
bool startupFigure200();
bool startupFigure3x32766();
bool startupFigureEmptyWindow();
bool startupFigureBareControls();
bool peakRssFigure200();
bool peakRssFigure3x32766();
bool alarmTickFigure();
bool importManyFigure();
bool importHostileFigure();
bool alarmWindowsFigure();
bool syncServerFigure();

// The child side of the start-up figures: runs when the program is started
// with kStartupChildFlag. Returns the process's exit code.
inline constexpr const char* kStartupChildFlag = "--startup-child";
int runStartupChild(int argc, char** argv);

}  // namespace bench
