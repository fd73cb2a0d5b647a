#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <optional>

#include "app/application.h"
#include "app/synccommand.h"
#include "core/clock.h"
#include "core/isolatedtask.h"
#include "core/version.h"
#include "notify/singleinstance.h"
#include "notify/soundplayer.h"
#include "notify/systemnotifications.h"
#include "notify/termination.h"
#include "notify/trayicon.h"
#include "operations/calendarexport.h"
#include "operations/calendarreading.h"
#include "operations/operations.h"
#include "operations/sync/eventcodec.h"
#include "operations/sync/passwordstore.h"
#include "ui/filedialogs.h"
#include "ui/fonts.h"
#include "ui/printcommand.h"
#include "ui/widgetdialogs.h"

namespace {

QString programVersion() {
    return QStringLiteral(RICORDEL_VERSION_TEXT);
}

QString helpText() {
    return QStringLiteral(
        "Uso: ricordel [opzioni] [FILE.ics]\n"
        "\n"
        "Ricordel, agenda e promemoria: appuntamenti, scadenze e ricorrenze.\n"
        "Senza opzioni apre la finestra del programma sulle liste della cartella\n"
        "corrente (Ricordel.dat, Date.dat, Ricorrenze.dat).\n"
        "Con un FILE.ics (un invito, un calendario) propone i suoi eventi per le\n"
        "liste: li chiede al Ricordel già aperto sulla cartella, o lo apre.\n"
        "\n"
        "Opzioni:\n"
        "  -h, --help             mostra questo aiuto ed esce\n"
        "  -v, --version          mostra la versione ed esce\n"
        "  --export-ics FILE      scrive le liste salvate della cartella corrente nel\n"
        "                         FILE in formato iCalendar (.ics), dice quante voci ha\n"
        "                         scritto e quante ha tralasciato, ed esce; non apre\n"
        "                         finestre e funziona anche mentre Ricordel è aperto\n"
        "  --sync-setup URL UTENTE\n"
        "                         imposta il calendario sul server CalDAV (la password\n"
        "                         si legge dallo standard input): l'indirizzo di un\n"
        "                         calendario, o quello del server, dove si usa (o si\n"
        "                         crea) il calendario \"Ricordel\"\n"
        "  --sync                 sincronizza una volta le liste della cartella corrente\n"
        "                         con il calendario sul server ed esce; se Ricordel è\n"
        "                         aperto sulla cartella, chiede a lui di sincronizzare\n"
        "\n"
        "Codici di uscita: 0 riuscito, 1 lettura o scrittura non riuscita (o errore\n"
        "del server o della rete), 2 opzioni non valide.\n");
}

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// The argument that named an option, with its dashes ("--bogus").
QString asTyped(const QStringList& arguments, const QString& name) {
    for (const QString& a : arguments.mid(1)) {
        const QString bare = a.section(u'=', 0, 0);
        if (bare.startsWith(u'-') && QStringView(bare).mid(bare.startsWith(u"--") ? 2 : 1) == name)
            return bare;
    }
    return name;
}

// The command line. Options that only print or write a file are handled
// here, without a window and without the one-copy lock, so they work beside
// a running copy, from a script and without a display. Returns the exit
// code when the program must not start its window; a calendar file named on
// the command line goes to calendarFile.
std::optional<int> runCommandLine(int argc, char* argv[], const QString& dataFolder,
                                  QString& calendarFile) {
    if (argc <= 1) return std::nullopt;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // Qt's own options for windowed programs ("-style fusion", "-session id"
    // from the session manager) are single-dash words: the window takes them.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption exportIcs(QStringLiteral("export-ics"), QString(),
                                       QStringLiteral("FILE"));
    const QCommandLineOption syncSetup(QStringLiteral("sync-setup"), QString(),
                                       QStringLiteral("URL"));
    const QCommandLineOption syncOnce(QStringLiteral("sync"));
    parser.addOptions({help, version, exportIcs, syncSetup, syncOnce});
    for (const char* name : {"platform", "platformtheme", "platformpluginpath", "plugin", "style",
                             "stylesheet", "display", "geometry", "qwindowgeometry", "qwindowtitle",
                             "qwindowicon", "session", "name", "title"})
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    QString error;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        error = unknown.isEmpty()
                    ? QStringLiteral("opzione incompleta o non valida (--export-ics vuole un FILE)")
                    : QStringLiteral("opzione sconosciuta: %1")
                          .arg(asTyped(arguments, unknown.first()));
    } else if (parser.isSet(syncSetup) &&
               (parser.positionalArguments().size() != 1 || parser.isSet(syncOnce) ||
                parser.isSet(exportIcs) || parser.values(syncSetup).size() > 1)) {
        error = QStringLiteral("--sync-setup vuole un URL e un UTENTE, e nient'altro");
    } else if (parser.isSet(syncSetup)) {
        // URL USER: the user is the one positional argument.
    } else if (parser.positionalArguments().size() > 1 ||
               ((parser.isSet(exportIcs) || parser.isSet(syncOnce)) &&
                !parser.positionalArguments().isEmpty())) {
        error = QStringLiteral("argomento inatteso: %1").arg(parser.positionalArguments().last());
    } else if (parser.values(exportIcs).size() > 1) {
        error = QStringLiteral("--export-ics va data una volta sola");
    } else if (parser.isSet(exportIcs) && parser.isSet(syncOnce)) {
        error = QStringLiteral("--export-ics e --sync vanno date una alla volta");
    }
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("ricordel: %1\n\n").arg(error) + helpText());
        return 2;
    }
    if (parser.isSet(help)) {
        print(stdout, helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("Ricordel %1\n").arg(programVersion()));
        return 0;
    }
    if (parser.isSet(exportIcs)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Ricordel"));
        const QString file = parser.value(exportIcs);
        SystemClock clock;
        const CalendarFileOutcome outcome = exportCalendarFile(QDir(dataFolder), file, clock);
        if (outcome.error) {
            print(stderr, QStringLiteral("ricordel: %1.\n").arg(*outcome.error));
            return 1;
        }
        print(stdout, QStringLiteral("Calendario scritto in \"%1\". %2\n")
                          .arg(QDir::toNativeSeparators(file),
                               calendarCountsText(outcome.written, outcome.skipped)));
        return 0;
    }
    if (parser.isSet(syncSetup) || parser.isSet(syncOnce)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Ricordel"));
        if (parser.isSet(syncOnce))
            return runSyncOnce(dataFolder, QCoreApplication::applicationFilePath());
        return runSyncSetup(dataFolder, parser.value(syncSetup),
                            parser.positionalArguments().first());
    }
    if (!parser.positionalArguments().isEmpty())
        calendarFile = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    return std::nullopt;  // the window, with Qt's own options
}

// A task on data from outside, run in a process of its own by the program
// itself (see core/isolatedtask.h): "--isolated-task NAME ARGUMENT...". It
// starts no application object and opens no window.
int runIsolatedTask(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 3; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    if (qstrcmp(argv[2], kCalendarTask) == 0) return runCalendarTask(arguments, stdin, stdout);
    if (qstrcmp(argv[2], kEventsTask) == 0) return runEventsTask(arguments, stdin, stdout);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc >= 3 && qstrcmp(argv[1], kIsolatedTaskOption) == 0) return runIsolatedTask(argc, argv);
    // The data folder, named here once for every file of the program: the
    // folder it is started in (the launcher enters it first).
    const QString dataFolder = QDir::currentPath();
    QString calendarFile;
    if (const std::optional<int> code = runCommandLine(argc, argv, dataFolder, calendarFile))
        return *code;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ricordel"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ricordel"));

    // One copy per data folder: a second start brings the first one forward.
    SingleInstance instance(dataFolder);
    if (instance.acquire() == SingleInstance::Outcome::AlreadyRunning) {
        const SingleInstance::Delivery delivery =
            calendarFile.isEmpty() ? instance.askRunningCopyToShow()
                                   : instance.askRunningCopyToImport(calendarFile);
        if (delivery == SingleInstance::Delivery::Delivered) return 0;
        const QString file = QDir::toNativeSeparators(calendarFile);
        QString text;
        if (delivery == SingleInstance::Delivery::Refused) {
            text = instance.channelProblem();
            if (!file.isEmpty())
                text += QStringLiteral(" Calendario \"%1\" non importato.").arg(file);
        } else if (file.isEmpty()) {
            text = QStringLiteral("il Ricordel già aperto su questa cartella non risponde.");
        } else {
            text = QStringLiteral(
                       "il Ricordel già aperto su questa cartella non risponde: "
                       "calendario \"%1\" non importato.")
                       .arg(file);
        }
        print(stderr, QStringLiteral("ricordel: %1\n").arg(text));
        return 1;
    }

    loadItalianTranslation(app);
    installFontSubstitutes();

    SystemClock clock;
    WidgetDialogs dialogs;
    WidgetFileDialogs files;
    DesktopArchiveViewer archiveViewer;
    SystemPrinterAccess printer;
    SystemTrayIcon tray;
    const auto notifications = makeSystemNotifications(&tray);
    KeychainPasswordStore passwords;
    Application program(ProgramServices{&clock, &dialogs, &files, &archiveViewer, &printer,
                                        systemSoundPlayerFactory(), &tray, nullptr,
                                        notifications.get(), dataFolder,
                                        QCoreApplication::applicationFilePath(), &passwords});
    // Boxes and file dialogs belong to the main window, whichever it is.
    const auto parentBoxes = [&dialogs, &files](QWidget* window) {
        dialogs.setParentWidget(window);
        files.setParentWidget(window);
    };
    parentBoxes(program.window());
    QObject::connect(&program, &Application::windowChanged, &program, parentBoxes);
    program.listenTo(instance);
    program.watchTermination();

    // A copy without its channel runs on, and says so once its digest is over.
    if (const QString problem = instance.channelProblem(); !problem.isEmpty()) {
        print(stderr, QStringLiteral("ricordel: %1\n").arg(problem));
        program.load();
        QTimer::singleShot(0, &program, [&dialogs, problem] {
            dialogs.notice(problem, MsgIcon::Exclamation, std::nullopt);
        });
    }
    if (!calendarFile.isEmpty()) {
        // The box comes once start-up, with its digest, is over.
        program.load();
        QTimer::singleShot(0, &program,
                           [&program, calendarFile] { program.importCalendarFile(calendarFile); });
    }
    return program.run();
}
