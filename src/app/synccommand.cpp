#include "app/synccommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QTimer>

#include <unistd.h>
#include <cstdio>
#include <optional>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/dialogs.h"
#include "notify/singleinstance.h"
#include "operations/sync/caldavdiscovery.h"
#include "operations/sync/eventcodec.h"
#include "operations/sync/passwordstore.h"
#include "operations/sync/syncengine.h"
#include "operations/sync/syncstore.h"

namespace {

void say(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Boxes without a screen: their text goes to standard error and every
// question is answered no.
class ConsoleDialogs final : public Dialogs {
  public:
    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon,
                      const std::optional<QString>&) override {
        say(stderr, QStringLiteral("ricordel: %1").arg(text));
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
    }
    QString input(const QString&, const std::optional<QString>&, const QString&) override {
        return {};
    }
};

// The password on standard input: one line, its line end dropped.
std::optional<QString> passwordFromInput() {
    QByteArray line;
    for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';) {
        if (line.size() >= 4096) return std::nullopt;
        line += static_cast<char>(c);
    }
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) return std::nullopt;
    return QString::fromUtf8(line);
}

// Runs the event loop until `done` is called; `run` starts the work.
template <class Work>
void waitFor(Work run) {
    QEventLoop loop;
    bool finished = false;
    run([&] {
        finished = true;
        loop.quit();
    });
    if (!finished) loop.exec();
}

QString fromServer(const QString& what, const ServerFailure& failure) {
    QString text = QStringLiteral("%1: %2").arg(what, describeFailure(failure));
    if (failure.kind == ServerFailure::Kind::Untrusted ||
        failure.kind == ServerFailure::Kind::InsecureHttp)
        text += QStringLiteral(
            ". Conferma il server una volta da Impostazioni → Calendario sul server.");
    return text;
}

}  // namespace

int runSyncSetup(const QString& dataFolder, const QString& address, const QString& user) {
    SingleInstance instance(dataFolder);
    if (instance.acquire() == SingleInstance::Outcome::AlreadyRunning) {
        say(stderr, QStringLiteral("ricordel: Ricordel è aperto su questa cartella: imposta il "
                                   "server da Impostazioni → Calendario sul server, o chiudilo."));
        return 1;
    }
    const std::optional<QString> password = passwordFromInput();
    if (!password) {
        say(stderr, QStringLiteral("ricordel: --sync-setup legge la password dallo standard "
                                   "input (una riga, non vuota)."));
        return 2;
    }
    QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http")) {
        say(stderr, QStringLiteral("ricordel: indirizzo del server non valido: %1").arg(address));
        return 2;
    }
    ServerAccount account;
    account.calendar = url;
    account.user = user;
    account.password = *password;

    QNetworkAccessManager network;
    CalDavDiscovery discovery(&network);
    std::optional<ServerFailure> failure;
    CalDavDiscovery::Found found;
    waitFor([&](auto done) {
        discovery.discover(account, [&, done](const auto& f, const auto& result) {
            failure = f;
            found = result;
            done();
        });
    });
    if (failure) {
        say(stderr, QStringLiteral("ricordel: %1")
                        .arg(fromServer(QStringLiteral("calendari non trovati"), *failure)));
        return 1;
    }
    QUrl calendar;
    if (found.addressIsCalendar && !found.calendars.isEmpty()) {
        calendar = found.calendars.first().url;
    } else {
        for (const CalendarInfo& info : std::as_const(found.calendars))
            if (info.name.compare(QStringLiteral("Ricordel"), Qt::CaseInsensitive) == 0)
                calendar = info.url;
        if (calendar.isEmpty()) {
            if (found.homeSet.isEmpty()) {
                say(stderr, QStringLiteral("ricordel: il server non dice dove creare il "
                                           "calendario \"Ricordel\": dai l'indirizzo di un "
                                           "calendario."));
                return 1;
            }
            waitFor([&](auto done) {
                discovery.createCalendar(account, found.homeSet, QStringLiteral("Ricordel"),
                                         [&, done](const auto& f, const QUrl& made) {
                                             failure = f;
                                             calendar = made;
                                             done();
                                         });
            });
            if (failure) {
                say(stderr,
                    QStringLiteral("ricordel: %1")
                        .arg(fromServer(QStringLiteral("calendario \"Ricordel\" non creato"),
                                        *failure)));
                return 1;
            }
        }
    }

    SyncStore store;
    if (const auto error =
            store.open(QDir(dataFolder).filePath(QString::fromLatin1(kSyncStoreFileName)))) {
        say(stderr, QStringLiteral("ricordel: %1").arg(*error));
        return 1;
    }
    const std::optional<SyncAccountSettings> before = store.account();
    SyncAccountSettings settings;
    settings.calendar = calendar;
    settings.user = user;
    if (before && before->calendar == calendar && before->user == user)
        settings = *before;
    else if (!store.clear()) {
        say(stderr, QStringLiteral("ricordel: %1").arg(store.lastError()));
        return 1;
    }
    if (!store.begin() || !store.setAccount(settings) || !store.commit()) {
        say(stderr, QStringLiteral("ricordel: %1").arg(store.lastError()));
        return 1;
    }
    KeychainPasswordStore passwords;
    bool kept = false;
    waitFor([&](auto done) {
        passwords.write(passwordKey(user, calendar), *password, [&, done](bool keyring) {
            kept = keyring;
            done();
        });
    });
    say(stdout,
        QStringLiteral("Calendario sul server impostato: %1").arg(calendar.toDisplayString()));
    if (!kept)
        say(stderr, QStringLiteral("ricordel: non c'è un portachiavi del desktop: la password "
                                   "non è stata conservata; --sync la legge dallo standard "
                                   "input, e Ricordel la chiede una volta per sessione."));
    return 0;
}

int runSyncOnce(const QString& dataFolder, const QString& taskProgram) {
    SingleInstance instance(dataFolder);
    if (instance.acquire() == SingleInstance::Outcome::AlreadyRunning) {
        if (instance.askRunningCopyToSync() == SingleInstance::Delivery::Delivered) {
            say(stdout, QStringLiteral("Sincronizzazione chiesta al Ricordel aperto su questa "
                                       "cartella."));
            return 0;
        }
        const QString problem = instance.channelProblem();
        say(stderr,
            QStringLiteral("ricordel: %1")
                .arg(problem.isEmpty() ? QStringLiteral("il Ricordel già aperto su questa cartella "
                                                        "non risponde.")
                                       : problem));
        return 1;
    }
    SyncStore store;
    const QString storePath = QDir(dataFolder).filePath(QString::fromLatin1(kSyncStoreFileName));
    std::optional<SyncAccountSettings> settings;
    if (QFileInfo::exists(storePath)) {
        if (const auto error = store.open(storePath)) {
            say(stderr, QStringLiteral("ricordel: %1").arg(*error));
            return 1;
        }
        settings = store.account();
    }
    if (!settings) {
        say(stderr, QStringLiteral("ricordel: nessun calendario sul server impostato per questa "
                                   "cartella (ricordel --sync-setup URL UTENTE)."));
        return 2;
    }

    KeychainPasswordStore passwords;
    std::optional<QString> password;
    waitFor([&](auto done) {
        passwords.read(passwordKey(settings->user, settings->calendar),
                       [&, done](const std::optional<QString>& p, bool) {
                           password = p;
                           done();
                       });
    });
    if (!password && !isatty(STDIN_FILENO)) password = passwordFromInput();
    if (!password) {
        say(stderr, QStringLiteral("ricordel: password del server non disponibile: nessun "
                                   "portachiavi la conserva; passala sullo standard input."));
        return 1;
    }

    SystemClock clock;
    ConsoleDialogs dialogs;
    Agenda agenda(clock, dialogs, dataFolder);
    agenda.loadSettings();
    agenda.loadLists();
    agenda.setListsModified(false);

    ServerAccount account;
    account.calendar = settings->calendar;
    account.user = settings->user;
    account.password = *password;
    account.trustedFingerprint = settings->trustedFingerprint;
    account.plainHttpConfirmed = settings->plainHttpConfirmed;
    QNetworkAccessManager network;
    CalDavClient client(&network, account);
    IsolatedEventCodec codec(taskProgram);
    SyncEngine engine(agenda, store, client, codec);
    SyncReport report;
    waitFor([&](auto done) {
        QObject::connect(&engine, &SyncEngine::finished, &engine, [&, done](const SyncReport& r) {
            report = r;
            done();
        });
        engine.start();
    });
    if (!report.succeeded()) {
        say(stderr, QStringLiteral("ricordel: %1").arg(report.statusLine()));
        return 1;
    }
    say(stdout, report.text());
    return 0;
}
