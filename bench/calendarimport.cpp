// The calendar import on large files: from the request to the box (the file
// read in the isolated task, planned against the lists) and from "Sì" to the
// entries saved. The floor is the library's own parse of the same file in
// this process, which every way of reading it must pay.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <libical/ical.h>

#include <cstdio>

#include "benchsupport.h"
#include "core/agenda.h"
#include "core/fileio.h"
#include "core/listmodel.h"
#include "operations/calendarimport.h"

namespace bench {
namespace {

// Answers the import's box with `answer`, noting when it came.
class TimedDialogs final : public Dialogs {
  public:
    explicit TimedDialogs(QElapsedTimer& timer) : timer_(timer) {}
    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon,
                      const std::optional<QString>&) override {
        if (boxAt < 0) boxAt = elapsedMillis(timer_);
        if (buttons == MsgButtons::YesNo) {
            asked = true;
            timer_.restart();
            return MsgAnswer::Yes;
        }
        lastText = text;
        return MsgAnswer::Ok;
    }
    QString input(const QString&, const std::optional<QString>&, const QString&) override {
        return {};
    }
    double boxAt = -1;
    bool asked = false;
    QString lastText;

  private:
    QElapsedTimer& timer_;
};

QByteArray calendar(const QByteArray& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//IT\r\n" + body + "END:VCALENDAR\r\n";
}

// `count` events over the year after the bench's day, a third of them for
// each list, each some 160 bytes.
QByteArray manyEvents(int count) {
    static const char* const lists[] = {"Appuntamenti", "Scadenze", "Ricorrenze"};
    QByteArray body;
    body.reserve(count * 170);
    const QDate first = benchNow().date();
    for (int i = 0; i < count; ++i) {
        const QDate day = first.addDays(i % 360);
        body += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) +
                "@bench\r\nDTSTART:" + day.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "T" +
                QByteArray::number(100000 + (i % 8) * 10000) + "Z\r\nSUMMARY:Evento numero " +
                QByteArray::number(i) + "\r\nCATEGORIES:" + lists[i % 3] +
                "\r\nDESCRIPTION:Descrizione di prova\r\nEND:VEVENT\r\n";
    }
    return calendar(body);
}

// Events repeated every second since 1970, as many as 16 MB hold.
QByteArray secondlyEvents(int count) {
    QByteArray body;
    for (int i = 0; i < count; ++i)
        body +=
            "BEGIN:VEVENT\r\nUID:s" + QByteArray::number(i) +
            "\r\nDTSTART:19700101T000000Z\r\nRRULE:FREQ=SECONDLY\r\nSUMMARY:S\r\nEND:VEVENT\r\n";
    return calendar(body);
}

// One daily event with `count` excluded days, every day up to yesterday.
QByteArray excludedDays(int count) {
    const QDate first = benchNow().date().addDays(-count);
    QByteArray body = "BEGIN:VEVENT\r\nUID:x\r\nDTSTART;VALUE=DATE:" +
                      first.toString(QStringLiteral("yyyyMMdd")).toLatin1() +
                      "\r\nRRULE:FREQ=DAILY\r\n";
    for (int i = 0; i < count; ++i)
        body += "EXDATE;VALUE=DATE:" +
                first.addDays(i).toString(QStringLiteral("yyyyMMdd")).toLatin1() + "\r\n";
    return calendar(body + "SUMMARY:Quasi mai\r\nEND:VEVENT\r\n");
}

// One event whose title is `bytes` long.
QByteArray longTitle(int bytes) {
    return calendar("BEGIN:VEVENT\r\nUID:l\r\nDTSTART:20261001T080000Z\r\nSUMMARY:" +
                    QByteArray(bytes, 'a') + "\r\nEND:VEVENT\r\n");
}

double libicalParseMillis(const QByteArray& ics) {
    QElapsedTimer timer;
    timer.start();
    icalcomponent* root = icalparser_parse_string(ics.constData());
    const double ms = elapsedMillis(timer);
    if (root) icalcomponent_free(root);
    return ms;
}

struct ImportTimes {
    double box = -1;  // ms from the request to the box
    double add = -1;  // ms from "Sì" to the entries saved
    int added = 0;
};

// One import of `ics` into an empty agenda in the current folder.
ImportTimes importOnce(const QByteArray& ics) {
    if (const auto error = writeFileAtomically(QStringLiteral("bench.ics"), ics)) {
        std::fprintf(stderr, "cannot write bench.ics: %s\n", qPrintable(*error));
        return {};
    }
    for (ListKind kind : kAllListKinds) QFile::remove(listFileName(kind));
    FixedClock clock;
    QElapsedTimer timer;
    TimedDialogs dialogs(timer);
    Agenda agenda(clock, dialogs, QDir::currentPath());
    agenda.loadLists();
    CalendarImporter importer(agenda, QCoreApplication::applicationFilePath());
    importer.setTimeZone(QTimeZone("Europe/Rome"));
    QSignalSpy done(&importer, &CalendarImporter::finished);
    timer.start();
    importer.importFile(QStringLiteral("bench.ics"));
    if (done.isEmpty() && !done.wait(300000)) return {};
    ImportTimes times;
    times.box = dialogs.boxAt;
    times.add = dialogs.asked ? elapsedMillis(timer) : 0;
    times.added = done.last().at(1).toInt();
    if (!dialogs.lastText.isEmpty() && times.added == 0)
        std::fprintf(stderr, "%s\n", qPrintable(dialogs.lastText));
    return times;
}

// The box's time for `ics` against the library's parse, and the time to add.
bool importFigures(const char* boxName, const char* addName, const char* floorName,
                   const QByteArray& ics, int expectedAdded) {
    std::vector<double> boxes, adds, floors;
    for (int run = 0; run < 3; ++run) {
        floors.push_back(libicalParseMillis(ics));
        const ImportTimes times = importOnce(ics);
        if (times.box < 0 || times.added != expectedAdded) {
            std::fprintf(stderr, "%s: the import added %d entries, not %d\n", boxName, times.added,
                         expectedAdded);
            return false;
        }
        boxes.push_back(times.box);
        adds.push_back(times.add);
    }
    const double floor = median(floors);
    print(floorName, floor, "ms");
    printAgainstBound(boxName, median(boxes), "ms", 5000, false);
    print(QByteArray(QByteArray(boxName) + "_ratio").constData(),
          median(boxes) / std::max(floor, 1e-3), "");
    if (addName) printAgainstBound(addName, median(adds), "ms", 5000, false);
    return true;
}

}  // namespace

bool importManyFigure() {
    ScratchFolder folder;
    // A third of 100,000 for each list passes its 32,766: the rest is
    // left out as for full lists.
    return importFigures("import_box_100000", "import_add_100000", "floor_libical_100000",
                         manyEvents(100000), 3 * ListModel::kMaxEntries);
}

bool importHostileFigure() {
    ScratchFolder folder;
    return importFigures("import_box_secondly_134217", nullptr, "floor_libical_secondly_134217",
                         secondlyEvents(134217), 1) &&
           importFigures("import_box_exdate_400000", nullptr, "floor_libical_exdate_400000",
                         excludedDays(400000), 1) &&
           importFigures("import_box_title_15mb", nullptr, "floor_libical_title_15mb",
                         longTitle(15 * 1024 * 1024), 1);
}

}  // namespace bench
