// Prints one "name: value unit" line per figure. Each figure is a function in
// the table at the end of this file; a figure that finds a fault returns false
// and the program exits non-zero after printing the rest.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listfiles.h"
#include "core/listmodel.h"
#include "operations/operations.h"
#include "operations/sort.h"

namespace {

// Boxes would stop a benchmark: every question is answered No, and each one
// is counted so a figure can tell it was asked.
class SilentDialogs final : public Dialogs {
  public:
    int shown = 0;
    MsgAnswer Message(const QString&, MsgButtons buttons, MsgIcon,
                      const std::optional<QString>&) override {
        ++shown;
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
    QString Input(const QString&, const std::optional<QString>&, const QString&) override {
        ++shown;
        return {};
    }
};

class FixedClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime(QDate(2026, 6, 15), QTime(12, 0)); }
};

// Each figure runs in a fresh temporary folder made the current one.
class ScratchFolder {
  public:
    ScratchFolder() : old_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ScratchFolder() { QDir::setCurrent(old_); }
    bool ok() const { return dir_.isValid(); }

  private:
    QString old_;
    QTemporaryDir dir_;
};

// Appointments spread over the year with many equal keys, a few without a
// time and a few written with a leading zero.
QList<AgendaEntry> RandomAppointments(int count, quint32 seed) {
    QRandomGenerator random(seed);
    QList<AgendaEntry> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QDate date = QDate(2026, 1, 1).addDays(random.bounded(365));
        AgendaEntry e;
        e.date = FormatDateText(date);
        e.message = QStringLiteral("Appuntamento numero %1").arg(i);
        const int kind = random.bounded(10);
        if (kind == 0) {
            e.time.clear();
        } else {
            const int h = random.bounded(24), m = random.bounded(4) * 15;
            e.time = kind == 1 ? QStringLiteral("%1:%2")
                                     .arg(h, 2, 10, QLatin1Char('0'))
                                     .arg(m, 2, 10, QLatin1Char('0'))
                               : QStringLiteral("%1:%2").arg(h).arg(m, 2, 10, QLatin1Char('0'));
        }
        out.append(e);
    }
    return out;
}

void Print(const char* name, double value, const char* unit) {
    std::printf("%s: %.3f%s%s\n", name, value, unit[0] ? " " : "", unit);
    std::fflush(stdout);
}

double Millis(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

// The sort as the first version of the program did it: passes of neighbour
// comparisons that read both rows afresh, until a pass swaps nothing.
void ReferenceBubbleSort(std::vector<AgendaEntry>& rows, bool ascending, int year) {
    auto later = [&](size_t i, bool earlier) {
        const auto a = ReadSortKey(rows[i], year);
        const auto b = ReadSortKey(rows[i + 1], year);
        if (!a || !b) return false;
        return earlier ? *a < *b : *a > *b;
    };
    for (bool clean = false; !clean;) {
        clean = true;
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            const bool isLater = later(i, false);
            const bool isEarlier = later(i, true);
            if ((ascending && isLater) || (!ascending && isEarlier)) {
                std::swap(rows[i].date, rows[i + 1].date);
                std::swap(rows[i].message, rows[i + 1].message);
                std::swap(rows[i].time, rows[i + 1].time);
                clean = false;
            }
        }
    }
}

bool SaveFigure() {
    ScratchFolder folder;
    FixedClock clock;
    SilentDialogs dialogs;
    Agenda agenda(clock, dialogs);
    agenda.settings().SortAscending = true;
    agenda.appointments().replaceAll(RandomAppointments(ListModel::kMaxEntries, 1));
    QElapsedTimer timer;
    timer.start();
    const bool saved = SaveCommand(agenda);
    Print("save_32766", Millis(timer), "ms");
    if (!saved || dialogs.shown != 0) {
        std::fprintf(stderr, "save_32766: the save command failed\n");
        return false;
    }
    return true;
}

bool BubbleRatioFigure() {
    constexpr int kCount = 5000;
    const QList<AgendaEntry> rows = RandomAppointments(kCount, 2);
    FixedClock clock;
    bool sameOrder = true;
    double ratio = 0;
    for (bool ascending : {true, false}) {
        std::vector<AgendaEntry> reference(rows.begin(), rows.end());
        QElapsedTimer timer;
        timer.start();
        ReferenceBubbleSort(reference, ascending, clock.year());
        const double bubbleMs = Millis(timer);

        SilentDialogs dialogs;
        Agenda agenda(clock, dialogs);
        agenda.settings().SortAscending = ascending;
        agenda.appointments().replaceAll(rows);
        timer.restart();
        SortAppointments(agenda);
        const double oursMs = Millis(timer);

        const QList<AgendaEntry> ours = agenda.appointments().entries();
        sameOrder =
            sameOrder && std::equal(reference.begin(), reference.end(), ours.begin(), ours.end());
        if (ascending) ratio = bubbleMs / std::max(oursMs, 1e-6);
    }
    Print("bubble_ratio_5000", ratio, "");
    if (!sameOrder) {
        std::fprintf(stderr, "bubble_ratio_5000: the sort's order differs from the bubble sort\n");
        return false;
    }
    return true;
}

bool LoadFigure() {
    ScratchFolder folder;
    for (ListKind kind : kAllListKinds) {
        QList<AgendaEntry> entries = RandomAppointments(ListModel::kMaxEntries, 3 + TabOf(kind));
        if (!Traits(kind).hasTime)
            for (AgendaEntry& e : entries) e.time.clear();
        if (WriteFileAtomically(QString::fromLatin1(Traits(kind).fileName),
                                SerializeList(entries, kind))) {
            std::fprintf(stderr, "load_3x32766: cannot write the lists\n");
            return false;
        }
    }
    FixedClock clock;
    SilentDialogs dialogs;
    Agenda agenda(clock, dialogs);
    QElapsedTimer timer;
    timer.start();
    agenda.LoadLists();
    Print("load_3x32766", Millis(timer), "ms");
    for (ListKind kind : kAllListKinds) {
        if (agenda.list(kind).entryCount() != ListModel::kMaxEntries) {
            std::fprintf(stderr, "load_3x32766: a list lost entries\n");
            return false;
        }
    }
    return true;
}

struct Figure {
    const char* name;
    std::function<bool()> run;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::vector<Figure> figures = {
        {"save_32766", SaveFigure},
        {"bubble_ratio_5000", BubbleRatioFigure},
        {"load_3x32766", LoadFigure},
    };
    // Names on the command line run only those figures.
    const QStringList wanted = app.arguments().mid(1);
    bool allGood = true;
    for (const Figure& figure : figures) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(figure.name))) continue;
        allGood = figure.run() && allGood;
    }
    return allGood ? 0 : 1;
}
