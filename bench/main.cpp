// Prints one "name: value unit" line per figure. Each figure is a function in
// the table at the end of this file; a figure that finds a fault returns false
// and the program exits non-zero after printing the rest.

#include <QApplication>
#include <QRandomGenerator>

#include "benchsupport.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listfiles.h"
#include "core/listmodel.h"
#include "operations/operations.h"
#include "operations/sort.h"

namespace {

using namespace bench;

// The reference bubble sort: passes of neighbour
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
    if (!WriteListFiles(ListModel::kMaxEntries, 3)) return false;
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

// What the first write to a fresh page of memory costs here. Start-up on a
// large list is mostly memory touched for the first time, and that cost
// differs widely between machines (a virtual machine may pay far more than
// bare metal), so the start-up figures are read beside this one.
bool FirstTouchFigure() {
    constexpr size_t kPage = 4096, kPages = 25600;  // 100 MiB
    std::vector<double> perPage;
    for (int run = 0; run < 3; ++run) {
        // Not value-initialised: the loop below is the first write.
        std::unique_ptr<char[]> block(new char[kPage * kPages]);
        QElapsedTimer timer;
        timer.start();
        for (size_t i = 0; i < kPage * kPages; i += kPage) block[i] = static_cast<char>(i);
        perPage.push_back(timer.nsecsElapsed() / 1e3 / kPages);
        volatile char keep = block[kPage * (kPages - 1)];
        (void)keep;
    }
    Print("first_touch_page", Median(perPage), "us");
    return true;
}

struct Figure {
    const char* name;
    std::function<bool()> run;
};

}  // namespace

int main(int argc, char** argv) {
    // The start-up figures run this same program as a fresh child process.
    if (argc >= 2 && qstrcmp(argv[1], kStartupChildFlag) == 0) return RunStartupChild(argc, argv);
    // Writes the data of a start-up figure into the current folder, to
    // profile one start by hand.
    if (argc == 3 && qstrcmp(argv[1], "--prepare") == 0) {
        QCoreApplication app(argc, argv);
        const int perList = QByteArray(argv[2]).toInt();
        if (perList < 0 || perList > ListModel::kMaxEntries) {
            std::fprintf(stderr, "entries per list: 0 to %d\n", ListModel::kMaxEntries);
            return 2;
        }
        return WriteListFiles(perList, kStartupSeed) ? 0 : 1;
    }

    // The alarm figure opens the alarm window once; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<Figure> figures = {
        {"save_32766", SaveFigure},
        {"bubble_ratio_5000", BubbleRatioFigure},
        {"load_3x32766", LoadFigure},
        {"first_touch_page", FirstTouchFigure},
        {"startup_empty_window", StartupFigureEmptyWindow},
        {"startup_200", StartupFigure200},
        {"startup_3x32766", StartupFigure3x32766},
        {"alarm_tick_32766", AlarmTickFigure},
        {"peak_rss_200", PeakRssFigure200},
        {"peak_rss_3x32766", PeakRssFigure3x32766},
    };
    // Names on the command line run only those figures.
    const QStringList wanted = app.arguments().mid(1);
    for (const QString& name : wanted) {
        const bool known = std::any_of(figures.begin(), figures.end(), [&](const Figure& f) {
            return name == QLatin1String(f.name);
        });
        if (!known) {
            std::fprintf(stderr, "unknown figure: %s\n", qPrintable(name));
            return 2;
        }
    }
    bool allGood = true;
    for (const Figure& figure : figures) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(figure.name))) continue;
        allGood = figure.run() && allGood;
    }
    return allGood ? 0 : 1;
}
