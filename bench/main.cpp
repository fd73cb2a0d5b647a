// Prints one "name: value unit" line per figure. Each figure is a function in
// the table at the end of this file; a figure that finds a fault returns false
// and the program exits non-zero after printing the rest.

#include <QApplication>
#include <QRandomGenerator>

#include "benchsupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/fileio.h"
#include "core/isolatedtask.h"
#include "core/listmodel.h"
#include "core/win1252.h"
#include "operations/calendarreading.h"
#include "operations/operations.h"
#include "operations/sort.h"

namespace {

using namespace bench;

// An agenda whose appointments are `rows`, in the given sort order.
struct AgendaWithAppointments {
    AgendaWithAppointments(Clock& clock, bool ascending, const QList<AgendaEntry>& rows)
        : agenda(clock, dialogs, QDir::currentPath()) {
        agenda.settings().sortAscending = ascending;
        agenda.appointments().replaceAll(rows);
    }
    SilentDialogs dialogs;
    Agenda agenda;
};

// The reference bubble sort: passes of neighbour
// comparisons that read both rows afresh, until a pass swaps nothing.
void referenceBubbleSort(std::vector<AgendaEntry>& rows, bool ascending, int year) {
    auto later = [&](size_t i, bool earlier) {
        const auto a = readSortKey(rows[i], year);
        const auto b = readSortKey(rows[i + 1], year);
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

// The floor of a save: the bytes it wrote, each file written to a new file,
// flushed to the disk and renamed over the old one, which is what an atomic
// save cannot do without.
bool floorWrite(const QString& name, const QByteArray& bytes) {
    const QByteArray path = QFile::encodeName(name);
    const QByteArray temporary = path + ".floor";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) break;
        done += n;
    }
    const bool synced = ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return done == bytes.size() && synced && closed &&
           ::rename(temporary.constData(), path.constData()) == 0;
}

// The save's order of files.
constexpr ListKind kSaveOrder[] = {ListKind::Appointments, ListKind::Deadlines,
                                   ListKind::Anniversaries};

std::vector<QByteArray> readSavedLists() {
    std::vector<QByteArray> files;
    for (ListKind kind : kSaveOrder) {
        files.push_back(readWholeFile(listFileName(kind)).value_or(QByteArray()));
    }
    return files;
}

// Save samples and floor samples take turns, so both see the same load.
bool saveFigure() {
    ScratchFolder folder;
    FixedClock clock;
    const QList<AgendaEntry> shuffled = randomAppointments(ListModel::kMaxEntries, 1);
    auto save = [&](double* millis) {
        AgendaWithAppointments list(clock, true, shuffled);
        QElapsedTimer timer;
        timer.start();
        const bool saved = saveAll(list.agenda);
        if (millis) *millis = elapsedMillis(timer);
        return saved && list.dialogs.shown == 0;
    };
    // A first save, not timed, gives the bytes every later one must write.
    if (!save(nullptr)) {
        std::fprintf(stderr, "save_32766: the save command failed\n");
        return false;
    }
    const std::vector<QByteArray> expected = readSavedLists();
    std::vector<double> saves, floors;
    for (int run = 0; run < kSamples; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (size_t i = 0; i < expected.size(); ++i) {
            if (!floorWrite(listFileName(kSaveOrder[i]), expected[i])) {
                std::fprintf(stderr, "floor_write_32766: cannot write the files\n");
                return false;
            }
        }
        floors.push_back(elapsedMillis(timer));
        double millis = 0;
        if (!save(&millis) || readSavedLists() != expected) {
            std::fprintf(stderr, "save_32766: the save failed or wrote other bytes\n");
            return false;
        }
        saves.push_back(millis);
    }
    const double floor = median(floors);
    print("floor_write_32766", floor, "ms");
    printAgainstFloor("save_32766", median(saves), "ms", "floor_write_32766", floor, 2);
    return true;
}

// The bubble sort takes seconds a run: five ascending runs give its median,
// one descending run checks the other order.
bool bubbleRatioFigure() {
    constexpr int kCount = 5000, kBubbleRuns = 5;
    const QList<AgendaEntry> rows = randomAppointments(kCount, 2);
    FixedClock clock;
    bool sameOrder = true;
    std::vector<double> bubbles, ours;
    for (bool ascending : {true, false}) {
        const int runs = ascending ? kSamples : 1;
        for (int run = 0; run < runs; ++run) {
            AgendaWithAppointments list(clock, ascending, rows);
            QElapsedTimer timer;
            timer.start();
            sortAppointments(list.agenda);
            if (ascending) ours.push_back(elapsedMillis(timer));
            if (run >= kBubbleRuns) continue;

            std::vector<AgendaEntry> reference(rows.begin(), rows.end());
            timer.restart();
            referenceBubbleSort(reference, ascending, clock.year());
            if (ascending) bubbles.push_back(elapsedMillis(timer));
            const QList<AgendaEntry> sorted = list.agenda.appointments().entries();
            sameOrder = sameOrder && std::equal(reference.begin(), reference.end(), sorted.begin(),
                                                sorted.end());
        }
    }
    printAgainstBound("bubble_ratio_5000", median(bubbles) / std::max(median(ours), 1e-6), "", 1000,
                      true);
    if (!sameOrder) {
        std::fprintf(stderr, "bubble_ratio_5000: the sort's order differs from the bubble sort\n");
        return false;
    }
    return true;
}

// Load samples and floor samples take turns. The floor reads the three
// files and decodes each into one string, without splitting it.
bool loadFigure() {
    ScratchFolder folder;
    if (!writeListFiles(ListModel::kMaxEntries, 3)) return false;
    FixedClock clock;
    std::vector<double> loads, floors;
    for (int run = 0; run < kSamples; ++run) {
        {
            std::vector<QString> texts;
            QElapsedTimer timer;
            timer.start();
            for (ListKind kind : kAllListKinds) {
                const auto bytes = readWholeFile(listFileName(kind));
                if (!bytes) {
                    std::fprintf(stderr, "floor_decode_3x32766: cannot read the files\n");
                    return false;
                }
                texts.push_back(win1252::decode(*bytes));
            }
            floors.push_back(elapsedMillis(timer));
        }
        SilentDialogs dialogs;
        Agenda agenda(clock, dialogs, QDir::currentPath());
        QElapsedTimer timer;
        timer.start();
        agenda.loadLists();
        loads.push_back(elapsedMillis(timer));
        for (ListKind kind : kAllListKinds) {
            if (agenda.list(kind).entryCount() != ListModel::kMaxEntries) {
                std::fprintf(stderr, "load_3x32766: a list lost entries\n");
                return false;
            }
        }
    }
    const double floor = median(floors);
    print("floor_decode_3x32766", floor, "ms");
    printAgainstFloor("load_3x32766", median(loads), "ms", "floor_decode_3x32766", floor, 3);
    return true;
}

// What the first write to a fresh page of memory costs here. Start-up on a
// large list is mostly memory touched for the first time, and that cost
// differs widely between machines (a virtual machine may pay far more than
// bare metal), so the start-up figures are read beside this one.
bool firstTouchFigure() {
    constexpr size_t kPage = 4096, kPages = 25600;  // 100 MiB
    std::vector<double> perPage;
    for (int run = 0; run < kSamples; ++run) {
        // Not value-initialised: the loop below is the first write.
        std::unique_ptr<char[]> block(new char[kPage * kPages]);
        QElapsedTimer timer;
        timer.start();
        for (size_t i = 0; i < kPage * kPages; i += kPage) block[i] = static_cast<char>(i);
        perPage.push_back(timer.nsecsElapsed() / 1e3 / kPages);
        volatile char keep = block[kPage * (kPages - 1)];
        (void)keep;
    }
    print("first_touch_page", median(perPage), "us");
    return true;
}

// A figure function may print more than one figure (a goal with its floor);
// naming any of them runs it.
struct Figure {
    std::vector<const char*> names;
    std::function<bool()> run;
    bool prints(const QString& name) const {
        return std::any_of(names.begin(), names.end(),
                           [&](const char* n) { return name == QLatin1String(n); });
    }
};

}  // namespace

int main(int argc, char** argv) {
    // The start-up figures run this same program as a fresh child process,
    // and the import figures read their calendars in its isolated task.
    if (argc >= 2 && qstrcmp(argv[1], kStartupChildFlag) == 0) return runStartupChild(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], kIsolatedTaskOption) == 0 &&
        qstrcmp(argv[2], kCalendarTask) == 0) {
        QStringList arguments;
        for (int i = 3; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        return runCalendarTask(arguments, stdin, stdout);
    }
    // Writes the data of a start-up figure into the current folder, to
    // profile one start by hand.
    if (argc == 3 && qstrcmp(argv[1], "--prepare") == 0) {
        QCoreApplication app(argc, argv);
        const int perList = QByteArray(argv[2]).toInt();
        if (perList < 0 || perList > ListModel::kMaxEntries) {
            std::fprintf(stderr, "entries per list: 0 to %d\n", ListModel::kMaxEntries);
            return 2;
        }
        return writeListFiles(perList, kStartupSeed) ? 0 : 1;
    }

    // The alarm figures open alarm windows; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<Figure> figures = {
        {{"floor_write_32766", "save_32766"}, saveFigure},
        {{"bubble_ratio_5000"}, bubbleRatioFigure},
        {{"floor_decode_3x32766", "load_3x32766"}, loadFigure},
        {{"first_touch_page"}, firstTouchFigure},
        {{"startup_empty_window"}, startupFigureEmptyWindow},
        {{"startup_qt_controls_200"}, startupFigureBareControls},
        {{"startup_200"}, startupFigure200},
        {{"startup_3x32766"}, startupFigure3x32766},
        {{"alarm_tick_32766", "alarm_tick_32766_first"}, alarmTickFigure},
        {{"alarm_windows_500_rss"}, alarmWindowsFigure},
        {{"floor_serial_put_1000", "sync_first_1000", "sync_first_1000_ratio",
          "sync_first_1000_requests", "sync_unchanged_1000", "sync_unchanged_1000_requests"},
         syncServerFigure},
        {{"peak_rss_200"}, peakRssFigure200},
        {{"peak_rss_3x32766"}, peakRssFigure3x32766},
        {{"floor_libical_100000", "import_box_100000", "import_box_100000_ratio",
          "import_add_100000"},
         importManyFigure},
        {{"floor_libical_secondly_134217", "import_box_secondly_134217",
          "import_box_secondly_134217_ratio", "floor_libical_exdate_400000",
          "import_box_exdate_400000", "import_box_exdate_400000_ratio", "floor_libical_title_15mb",
          "import_box_title_15mb", "import_box_title_15mb_ratio"},
         importHostileFigure},
    };
    // Names on the command line run only those figures.
    const QStringList wanted = app.arguments().mid(1);
    for (const QString& name : wanted) {
        const bool known = std::any_of(figures.begin(), figures.end(),
                                       [&](const Figure& f) { return f.prints(name); });
        if (!known) {
            std::fprintf(stderr, "unknown figure: %s\n", qPrintable(name));
            return 2;
        }
    }
    bool allGood = true;
    for (const Figure& figure : figures) {
        const bool asked = std::any_of(wanted.begin(), wanted.end(),
                                       [&](const QString& name) { return figure.prints(name); });
        if (!wanted.isEmpty() && !asked) continue;
        allGood = figure.run() && allGood;
    }
    return allGood ? 0 : 1;
}
