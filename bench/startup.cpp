// Start-up time and peak memory of the real main window. Each sample is a
// fresh process (this program started again with kStartupChildFlag), so the
// figures include what a user's start pays once: fonts, styles, the first
// window and its first paint, and the memory of all of it.

#include <QAbstractTableModel>
#include <QApplication>
#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QWindow>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "app/application.h"
#include "benchsupport.h"
#include "core/agenda.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "notify/reminderpresenter.h"
#include "operations/operations.h"
#include "ui/filedialogs.h"
#include "ui/fonts.h"
#include "ui/mainwindow.h"
#include "ui/printcommand.h"

namespace bench {
namespace {

constexpr int kChildTimeoutMs = 120000;

// ----------------------------------------------------------- child side

class SilentPlayer final : public SoundPlayer {
  public:
    void play(const QString&) override {}
    void stop() override {}
};

class NoFileDialogs final : public FileDialogs {
  public:
    QString openFileName(const QString&) override { return {}; }
};

class NoArchiveViewer final : public ArchiveViewer {
  public:
    bool open(const QString&, const QString&) override { return false; }
};

class NoPrinter final : public PrinterAccess {
  public:
    int printerCount() const override { return 0; }
    bool print(const std::function<void(QPagedPaintDevice&)>&, QString* reason) override {
        if (reason) *reason = QStringLiteral("no printer");
        return false;
    }
};

// The digest goes on through every line at once and counts them, so the
// start-up pays for gathering the digest but never waits for a user.
class CountingPresenter final : public ReminderPresenter {
  public:
    int lines = 0;
    void prepareAssistant(const QPixmap&) override {}
    bool present(const QString&, const QString&, bool) override {
        ++lines;
        return false;
    }
};

// Peak resident memory of this process in KiB: VmHWM, or getrusage where
// /proc is missing (both count KiB on Linux).
qint64 peakRssKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                bool ok = false;
                const qint64 kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
                if (ok) return kib;
            }
        }
    }
#ifdef Q_OS_UNIX
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0) return usage.ru_maxrss;
#endif
    return -1;
}

// Processes events until the window is on screen, then once more so the
// first paint is done. False when it never appears.
bool waitUntilExposed(QWidget& window) {
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (window.windowHandle() && window.windowHandle()->isExposed()) {
            QCoreApplication::processEvents();
            return true;
        }
    }
    return false;
}

// The Qt controls of the main window without the program: a calendar, a tab
// control of three tables of `rows` rows with the grids' fonts and header
// style, six buttons and the menu bar's three menus. What Qt itself costs
// for the controls the first paint shows, beside the bare window.
class BareTable final : public QAbstractTableModel {
  public:
    explicit BareTable(int rows) : rows_(rows) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) return {};
        switch (index.column()) {
            case 0:
                return QStringLiteral("7/3");
            case 1:
                return QStringLiteral("Appuntamento numero %1").arg(index.row());
            case 2:
                return QStringLiteral("9:15");
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return QStringList{QStringLiteral("DATA"), QStringLiteral("MESSAGGIO"),
                           QStringLiteral("ORA"), QStringLiteral("ID")}
            .value(section);
    }

  private:
    int rows_;
};

void buildBareControls(QMainWindow& window, int rows) {
    auto font = [](const char* family, qreal points, bool bold) {
        QFont f(QString::fromLatin1(family));
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    };
    auto* surface = new QWidget;
    window.setCentralWidget(surface);
    auto* tabs = new QTabWidget(surface);
    tabs->setGeometry(8, 8, 493, 513);
    tabs->tabBar()->setFont(font("Comic Sans MS", 9.75, true));
    for (const char* caption : {"Appuntamenti", "Scadenze", "Ricorrenze"}) {
        auto* page = new QWidget;
        auto* table = new QTableView(page);
        table->setModel(new BareTable(rows));
        table->resize(473, 473);
        table->setFont(font("MS Sans Serif", 8.25, true));
        table->verticalHeader()->hide();
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->verticalHeader()->setDefaultSectionSize(16);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->horizontalHeader()->setStyleSheet(QStringLiteral(
            "QHeaderView { background-color: #c0c0c0; } QHeaderView::section {"
            " background-color: #ffc0c0; color: black; font-weight: bold; border: none;"
            " border-right: 1px solid #808080; border-bottom: 1px solid #808080;"
            " padding-left: 2px; }"));
        tabs->addTab(page, QString::fromLatin1(caption));
    }
    auto* calendar = new QCalendarWidget(surface);
    calendar->setGeometry(504, 32, 289, 193);
    calendar->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    calendar->setFirstDayOfWeek(Qt::Monday);
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setGridVisible(true);
    calendar->setFont(font("Arial", 8.25, false));
    for (int i = 0; i < 6; ++i) {
        auto* button = new QPushButton(QStringLiteral("&Pulsante %1").arg(i), surface);
        button->setGeometry(592, 236 + 44 * i, 113, 37);
        button->setFont(font("MS Sans Serif", 8.25, true));
    }
    for (const char* title : {"&Impostazioni", "&Visualizza", "?"}) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(title));
        for (int i = 0; i < 5; ++i) menu->addAction(QStringLiteral("&Voce %1").arg(i));
    }
}

// ---------------------------------------------------------- parent side

struct Sample {
    double millis = 0;
    double peakMib = 0;
};

// What a child printed: "startup_ms <value>" and "peak_rss_kib <value>".
std::optional<Sample> parseChildOutput(const QByteArray& out) {
    std::optional<double> millis, kib;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 2) continue;
        bool ok = false;
        const double value = parts[1].toDouble(&ok);
        if (!ok) continue;
        if (parts[0] == "startup_ms") millis = value;
        if (parts[0] == "peak_rss_kib") kib = value;
    }
    if (!millis || !kib || *kib <= 0) return std::nullopt;
    return Sample{*millis, *kib / 1024.0};
}

// Which window a child starts: a bare main window, the bare Qt controls of
// ours, or ours.
enum class Window { Empty, BareControls, Program };

// Runs the child `kSamples` times on one prepared folder. `perList` is
// the number of entries in each of the three lists (the rows of each table
// of the bare controls).

std::optional<std::vector<Sample>> runStartups(int perList, Window kind) {
    const bool emptyWindow = kind != Window::Program;  // no files to prepare
    ScratchFolder folder;
    if (!folder.ok()) {
        std::fprintf(stderr, "startup: no temporary folder\n");
        return std::nullopt;
    }
    if (!emptyWindow && !writeListFiles(perList, kStartupSeed)) return std::nullopt;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::vector<Sample> samples;
    for (int run = 0; run < kSamples; ++run) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(folder.path());
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kStartupChildFlag),
                     kind == Window::Empty          ? QStringLiteral("empty")
                     : kind == Window::BareControls ? QStringLiteral("controls")
                                                    : QStringLiteral("form"),
                     QString::number(perList)});
        if (!child.waitForFinished(kChildTimeoutMs) || child.exitStatus() != QProcess::NormalExit ||
            child.exitCode() != 0) {
            std::fprintf(stderr, "startup: the child process failed (exit %d): %s\n",
                         child.exitCode(), child.readAllStandardError().constData());
            if (child.state() != QProcess::NotRunning) child.kill();
            return std::nullopt;
        }
        const std::optional<Sample> sample = parseChildOutput(child.readAllStandardOutput());
        if (!sample) {
            std::fprintf(stderr, "startup: the child printed no figures\n");
            return std::nullopt;
        }
        samples.push_back(*sample);
    }
    return samples;
}

// The time and the memory figures of one data set come from the same child
// runs, made once however many of them are asked for.
const std::optional<std::vector<Sample>>& samplesFor(int perList, Window kind) {
    static std::map<std::pair<int, Window>, std::optional<std::vector<Sample>>> cache;
    const auto key = std::make_pair(perList, kind);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, runStartups(perList, kind)).first;
    return it->second;
}

// The median of one data set's samples, time or memory.
std::optional<double> medianOf(const char* name, int perList, Window kind, bool memory) {
    const auto& samples = samplesFor(perList, kind);
    if (!samples) {
        std::fprintf(stderr, "%s: no figure\n", name);
        return std::nullopt;
    }
    std::vector<double> values;
    for (const Sample& s : *samples) values.push_back(memory ? s.peakMib : s.millis);
    static std::set<std::string> shown;  // a figure's samples are written once
    if (qEnvironmentVariableIsSet("RICORDEL_BENCH_SAMPLES") && shown.insert(name).second)
        for (double v : values) std::fprintf(stderr, "%s sample: %.3f\n", name, v);
    return median(values);
}

}  // namespace

int runStartupChild(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s %s form|empty <entries per list>\n", argv[0],
                     kStartupChildFlag);
        return 2;
    }
    const bool emptyWindow = qstrcmp(argv[2], "empty") == 0;
    const bool bareControls = qstrcmp(argv[2], "controls") == 0;
    const int perList = QByteArray(argv[3]).toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    // The user waits for the application object too: it loads the platform
    // plug-in and the fonts.
    QElapsedTimer timer;
    timer.start();
    QApplication app(argc, argv);

    if (emptyWindow || bareControls) {
        QMainWindow window;
        if (bareControls) buildBareControls(window, perList);
        window.resize(MainWindow::kOuterSize);
        window.show();
        if (!waitUntilExposed(window)) {
            std::fprintf(stderr, "the empty window never appeared\n");
            return 1;
        }
        const double millis = elapsedMillis(timer);
        std::printf("startup_ms %.3f\npeak_rss_kib %lld\n", millis, peakRssKib());
        return 0;
    }

    // The program's own start, with every desktop facility replaced by one
    // that answers at once.
    FixedClock clock;
    SilentDialogs dialogs;
    NoFileDialogs files;
    NoArchiveViewer archiveViewer;
    NoPrinter printer;
    CountingPresenter presenter;
    SoundPlayerFactory silent = [] { return std::unique_ptr<SoundPlayer>(new SilentPlayer); };

    // Where the time goes, printed beside the figures for whoever profiles
    // a start by hand; the parent reads only the totals.
    const double appMs = elapsedMillis(timer);
    loadItalianTranslation(app);
    installFontSubstitutes();
    Application program(ProgramServices{&clock, &dialogs, &files, &archiveViewer, &printer, silent,
                                        nullptr, &presenter, nullptr, QDir::currentPath(),
                                        QCoreApplication::applicationFilePath()});
    const double builtMs = elapsedMillis(timer);
    program.load();
    const double loadedMs = elapsedMillis(timer);
    MainWindow& form = *program.window();
    form.show();
    if (!waitUntilExposed(form)) {
        std::fprintf(stderr, "the main window never appeared\n");
        return 1;
    }
    const double millis = elapsedMillis(timer);
    const qint64 peak = peakRssKib();
    std::printf(
        "phase_application_ms %.3f\nphase_window_built_ms %.3f\n"
        "phase_form_load_ms %.3f\nphase_shown_ms %.3f\n",
        appMs, builtMs - appMs, loadedMs - builtMs, millis - loadedMs);

    for (ListKind kind : kAllListKinds) {
        if (program.agenda().list(kind).entryCount() != perList) {
            std::fprintf(stderr, "the list %s holds %d entries instead of %d\n",
                         listTraits(kind).fileName, program.agenda().list(kind).entryCount(),
                         perList);
            return 1;
        }
    }
    if (dialogs.shown != 0) {
        std::fprintf(stderr, "the start-up showed %d boxes on good files\n", dialogs.shown);
        return 1;
    }
    if (presenter.lines == 0) {
        std::fprintf(stderr, "the start-up digest showed nothing though entries fall due\n");
        return 1;
    }
    std::printf("startup_ms %.3f\npeak_rss_kib %lld\n", millis, peak);
    return 0;
}

// Each goal figure is printed with its ratio to the figure it is measured
// against, which is sampled first when it was not asked for.
bool startupFigureEmptyWindow() {
    const auto value = medianOf("startup_empty_window", 0, Window::Empty, false);
    if (value) print("startup_empty_window", *value, "ms");
    return value.has_value();
}
bool startupFigureBareControls() {
    const auto floor = medianOf("startup_empty_window", 0, Window::Empty, false);
    const auto value = medianOf("startup_qt_controls_200", 200, Window::BareControls, false);
    if (value && floor)
        std::printf("startup_qt_controls_200: %.3f ms  (%.2f x startup_empty_window)\n", *value,
                    *value / *floor);
    return value && floor;
}
bool startupFigure200() {
    const auto floor = medianOf("startup_empty_window", 0, Window::Empty, false);
    const auto value = medianOf("startup_200", 200, Window::Program, false);
    if (value && floor)
        printAgainstFloor("startup_200", *value, "ms", "startup_empty_window", *floor, 3);
    return value && floor;
}
bool startupFigure3x32766() {
    const auto floor = medianOf("startup_200", 200, Window::Program, false);
    const auto value = medianOf("startup_3x32766", ListModel::kMaxEntries, Window::Program, false);
    if (value && floor)
        printAgainstFloor("startup_3x32766", *value, "ms", "startup_200", *floor, 2);
    return value && floor;
}
bool peakRssFigure200() {
    const auto value = medianOf("peak_rss_200", 200, Window::Program, true);
    if (value) print("peak_rss_200", *value, "MB");
    return value.has_value();
}
bool peakRssFigure3x32766() {
    const auto floor = medianOf("peak_rss_200", 200, Window::Program, true);
    const auto value = medianOf("peak_rss_3x32766", ListModel::kMaxEntries, Window::Program, true);
    if (value && floor)
        printAgainstAllowance("peak_rss_3x32766", *value, "MB", "peak_rss_200", *floor, 12);
    return value && floor;
}

}  // namespace bench
