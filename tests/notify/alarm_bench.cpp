// Prints what one alarm tick costs on an appointments file of 32,766
// entries: the first tick, which reads and indexes the file, and the
// following ones, which find it unchanged.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

#include "core/settings.h"
#include "notify/logic/alarm.h"
#include "notify/logic/digest.h"
#include "support/tempfolder.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TempFolder folder;
    constexpr int kEntries = 32766;
    QByteArray bytes;
    for (int i = 0; i < kEntries; ++i) {
        const int day = i % 28 + 1, month = i / 28 % 12 + 1;
        bytes += QByteArray::number(day) + ',' + QByteArray::number(month) +
                 ",\"Appuntamento numero " + QByteArray::number(i) + " con un testo medio\",\"" +
                 QByteArray::number(i % 24) + ':' + QByteArray::number(10 + i % 50) + "\"\r\n";
    }
    folder.write("Ricordel.dat", bytes);
    folder.write("Date.dat", bytes);
    folder.write("Ricorrenze.dat", bytes);

    const QDate day(2026, 3, 7);
    AppointmentFileCache cache;
    cache.setPath(folder.file("Ricordel.dat"));
    QElapsedTimer t;
    t.start();
    cache.refresh();
    int rung = cache.indexFor(day.year()).messagesAt(day, QTime(9, 15)).size();
    const double first = t.nsecsElapsed() / 1e6;

    constexpr int kTicks = 200;
    t.restart();
    for (int i = 0; i < kTicks; ++i) {
        cache.refresh();
        rung += cache.indexFor(day.year()).messagesAt(day, QTime(i % 24, 10 + i % 50)).size();
    }
    const double steady = t.nsecsElapsed() / 1e6 / kTicks;

    Settings settings;
    settings.daysOfNotice = 7;
    t.restart();
    const ReminderLists lists = gatherRemindersFromFiles(QDir(folder.path()), day, settings);
    const double digest = t.nsecsElapsed() / 1e6;

    std::printf("alarm_tick_first_read: %.2f ms\n", first);
    std::printf("alarm_tick_unchanged_file: %.3f ms\n", steady);
    std::printf("digest_gather_3x%d: %.2f ms\n", kEntries, digest);
    std::printf("alarm_matches: %d, digest_lines: %lld\n", rung,
                static_cast<long long>(lists.deadlines.size() + lists.appointments.size() +
                                       lists.anniversaries.size()));
    std::printf("file_reads: %d\n", cache.loads());
    return 0;
}
