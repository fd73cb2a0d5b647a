#include "ui/serverdialog.h"

#include <algorithm>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/dialogs.h"
#include "notify/pictures.h"
#include "operations/sync/caldavdiscovery.h"

namespace {

const QString kTitle = QStringLiteral("Calendario sul server");
const QString kCalendarName = QStringLiteral("Ricordel");
// Names come from the server: one line, and not longer than a combo shows.
constexpr int kMaxShownName = 200;
// The most calendars listed; a server offering more is not believed.
constexpr int kMaxListed = 1000;

QString shownName(const CalendarInfo& calendar) {
    const QString name = calendar.name.simplified().left(kMaxShownName);
    return name.isEmpty() ? calendar.url.toString(QUrl::RemoveUserInfo) : name;
}

bool isRicordel(const CalendarInfo& calendar) {
    return calendar.name.simplified().compare(kCalendarName, Qt::CaseInsensitive) == 0;
}

// The scheme, host and port: the confirmations given for one server are
// never taken to another.
QString origin(const QUrl& url) {
    return url.toString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery |
                        QUrl::RemoveFragment);
}

}  // namespace

struct ServerDialog::Private {
    ServerDialog* q;
    Dialogs& dialogs;
    std::optional<SyncAccountSettings> current;
    CalDavDiscovery* discovery = nullptr;

    QLineEdit* server = nullptr;
    QLineEdit* user = nullptr;
    QLineEdit* password = nullptr;
    QPushButton* test = nullptr;
    QComboBox* calendars = nullptr;
    QPushButton* create = nullptr;
    QLabel* status = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* turnOffButton = nullptr;
    QPushButton* cancel = nullptr;

    // What the last search found, for the address, user and password typed.
    QList<CalendarInfo> found;
    QUrl homeSet;
    bool busy = false;
    // What the user confirmed, and for which server.
    QString trustedFingerprint;
    bool plainHttpConfirmed = false;
    QString confirmedFor;

    Outcome outcome;

    Private(ServerDialog* q, Dialogs& dialogs, const std::optional<SyncAccountSettings>& current)
        : q(q), dialogs(dialogs), current(current) {}

    // The account as typed, or nothing (with the reason in the status line).
    std::optional<ServerAccount> typedAccount();
    void forgetFound();
    void updateButtons();
    bool confirm(const ServerFailure& failure, const QUrl& server);
    void search();
    void showFound(const CalDavDiscovery::Found& result);
    void createCalendar();
    void save();
    void turnOff();
};

ServerDialog::ServerDialog(QNetworkAccessManager* network, Dialogs& dialogs,
                           const std::optional<SyncAccountSettings>& current,
                           const QString& password, QWidget* parent)
    : QDialog(parent), d(std::make_unique<Private>(this, dialogs, current)) {
    setObjectName(QStringLiteral("FormServer"));
    setWindowTitle(kTitle);
    setWindowIcon(programIcon());
    d->discovery = new CalDavDiscovery(network, this);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    d->server = named(new QLineEdit(this), "txtServer");
    d->server->setPlaceholderText(QStringLiteral("https://esempio.it/"));
    d->user = named(new QLineEdit(this), "txtUtente");
    d->password = named(new QLineEdit(this), "txtPassword");
    d->password->setEchoMode(QLineEdit::Password);
    d->test = named(new QPushButton(QStringLiteral("&Prova"), this), "cmdProva");
    d->test->setAutoDefault(false);
    d->calendars = named(new QComboBox(this), "cboCalendario");
    d->calendars->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    d->calendars->setMinimumContentsLength(24);
    d->create =
        named(new QPushButton(QStringLiteral("&Crea il calendario \"Ricordel\""), this), "cmdCrea");
    d->create->setAutoDefault(false);
    d->status = named(new QLabel(this), "lblStato");
    d->status->setWordWrap(true);
    d->status->setTextFormat(Qt::PlainText);  // a server's words are never markup
    d->ok = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    d->ok->setDefault(true);
    d->turnOffButton = named(new QPushButton(QStringLiteral("&Disattiva"), this), "cmdDisattiva");
    d->turnOffButton->setAutoDefault(false);
    d->cancel = named(new QPushButton(QStringLiteral("Annulla"), this), "cmdAnnulla");
    d->cancel->setAutoDefault(false);

    auto* form = new QFormLayout;
    auto label = [&](const char* name, const QString& text, QWidget* buddy) {
        QLabel* l = named(new QLabel(text, this), name);
        l->setBuddy(buddy);
        return l;
    };
    form->addRow(label("lblServer", QStringLiteral("Indirizzo del server:"), d->server), d->server);
    form->addRow(label("lblUtente", QStringLiteral("Nome utente:"), d->user), d->user);
    form->addRow(label("lblPassword", QStringLiteral("Password:"), d->password), d->password);
    auto* testRow = new QHBoxLayout;
    testRow->addStretch();
    testRow->addWidget(d->test);
    form->addRow(testRow);
    form->addRow(label("lblCalendario", QStringLiteral("Calendario:"), d->calendars), d->calendars);
    auto* createRow = new QHBoxLayout;
    createRow->addStretch();
    createRow->addWidget(d->create);
    form->addRow(createRow);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(d->turnOffButton);
    buttons->addStretch();
    buttons->addWidget(d->ok);
    buttons->addWidget(d->cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(d->status);
    layout->addStretch();
    layout->addLayout(buttons);

    if (current) {
        d->server->setText(current->calendar.toString(QUrl::RemoveUserInfo));
        d->user->setText(current->user);
        d->trustedFingerprint = current->trustedFingerprint;
        d->plainHttpConfirmed = current->plainHttpConfirmed;
        d->confirmedFor = origin(current->calendar);
        // The calendar in use stays chosen until the fields change.
        if (current->calendar.isValid()) {
            d->found = {{current->calendar,
                         current->calendar.adjusted(QUrl::StripTrailingSlash).fileName()}};
            d->calendars->addItem(shownName(d->found.first()));
        }
    }
    d->password->setText(password);

    for (QLineEdit* field : {d->server, d->user, d->password}) {
        connect(field, &QLineEdit::textEdited, this, [this] {
            // What was found, or is being looked for, belongs to what was
            // typed before.
            if (d->busy) {
                d->discovery->cancel();
                d->busy = false;
                d->status->clear();
            }
            d->forgetFound();
            d->updateButtons();
        });
    }
    connect(d->calendars, &QComboBox::currentIndexChanged, this, [this] { d->updateButtons(); });
    connect(d->test, &QPushButton::clicked, this, [this] { d->search(); });
    connect(d->create, &QPushButton::clicked, this, [this] { d->createCalendar(); });
    connect(d->ok, &QPushButton::clicked, this, [this] { d->save(); });
    connect(d->turnOffButton, &QPushButton::clicked, this, [this] { d->turnOff(); });
    connect(d->cancel, &QPushButton::clicked, this, &QDialog::reject);
    // However the dialog ends, nothing it started goes on.
    connect(this, &QDialog::finished, this, [this] {
        d->discovery->cancel();
        d->busy = false;
        d->updateButtons();
    });
    d->updateButtons();
}

ServerDialog::~ServerDialog() {
    d->discovery->cancel();
}

ServerDialog::Outcome ServerDialog::outcome() const {
    return d->outcome;
}

std::optional<ServerAccount> ServerDialog::Private::typedAccount() {
    QString typed = server->text().trimmed();
    if (!typed.contains(QLatin1StringView("://"))) typed.prepend(QLatin1StringView("https://"));
    QUrl url(typed, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1StringView("https") && scheme != QLatin1StringView("http"))) {
        status->setText(
            QStringLiteral("Indirizzo del server non valido: scrivere ad esempio "
                           "https://esempio.it/"));
        return std::nullopt;
    }
    // A user and password typed into the address go in their own fields.
    if (!url.userName().isEmpty() && user->text().isEmpty()) user->setText(url.userName());
    if (!url.password().isEmpty() && password->text().isEmpty()) {
        password->setText(url.password());
    }
    url.setUserInfo(QString());
    if (url.path().isEmpty()) url.setPath(QStringLiteral("/"));
    server->setText(url.toString());
    if (origin(url) != confirmedFor) {
        trustedFingerprint.clear();
        plainHttpConfirmed = false;
        confirmedFor = origin(url);
    }
    ServerAccount account;
    account.calendar = url;
    account.user = user->text();
    account.password = password->text();
    account.trustedFingerprint = trustedFingerprint;
    account.plainHttpConfirmed = plainHttpConfirmed;
    return account;
}

void ServerDialog::Private::forgetFound() {
    found.clear();
    homeSet.clear();
    calendars->clear();
}

void ServerDialog::Private::updateButtons() {
    const bool filled = !server->text().trimmed().isEmpty() && !user->text().isEmpty() &&
                        !password->text().isEmpty();
    const bool hasRicordel = std::any_of(found.cbegin(), found.cend(), isRicordel);
    test->setEnabled(!busy);
    create->setEnabled(!busy && !homeSet.isEmpty() && !hasRicordel);
    calendars->setEnabled(!busy && !found.isEmpty());
    ok->setEnabled(!busy && filled && calendars->currentIndex() >= 0);
    turnOffButton->setEnabled(current.has_value());
}

// Asks about a certificate or plain http; true when the user agrees and
// the request is to be made again.
bool ServerDialog::Private::confirm(const ServerFailure& failure, const QUrl& server) {
    if (failure.kind == ServerFailure::Kind::Untrusted && !failure.fingerprint.isEmpty() &&
        failure.fingerprint != trustedFingerprint) {
        if (dialogs.message(certificateQuestion(server, failure), MsgButtons::YesNo,
                            MsgIcon::Exclamation, kTitle) == MsgAnswer::Yes) {
            trustedFingerprint = failure.fingerprint;
            return true;
        }
    } else if (failure.kind == ServerFailure::Kind::InsecureHttp && !plainHttpConfirmed) {
        if (dialogs.message(plainHttpQuestion(server), MsgButtons::YesNo, MsgIcon::Exclamation,
                            kTitle) == MsgAnswer::Yes) {
            plainHttpConfirmed = true;
            return true;
        }
    }
    return false;
}

void ServerDialog::Private::search() {
    if (busy) return;
    const std::optional<ServerAccount> account = typedAccount();
    if (!account) return;
    forgetFound();
    busy = true;
    status->setText(QStringLiteral("Ricerca in corso..."));
    updateButtons();
    discovery->discover(
        *account, [this, server = account->calendar](const std::optional<ServerFailure>& failure,
                                                     const CalDavDiscovery::Found& result) {
            busy = false;
            if (failure) {
                status->setText(describeFailure(*failure));
                updateButtons();
                // Asked again once the discovery has finished with this answer.
                if (confirm(*failure, server)) QTimer::singleShot(0, q, [this] { search(); });
                return;
            }
            showFound(result);
        });
}

void ServerDialog::Private::showFound(const CalDavDiscovery::Found& result) {
    found = result.calendars.mid(0, kMaxListed);
    homeSet = result.addressIsCalendar ? QUrl() : result.homeSet;
    calendars->clear();
    int chosen = -1;
    for (qsizetype i = 0; i < found.size(); ++i) {
        calendars->addItem(shownName(found[i]));
        calendars->setItemData(static_cast<int>(i), found[i].url.toString(QUrl::RemoveUserInfo),
                               Qt::ToolTipRole);
        if (chosen < 0 && isRicordel(found[i])) chosen = static_cast<int>(i);
    }
    if (chosen < 0 && found.size() == 1) chosen = 0;
    calendars->setCurrentIndex(chosen);
    if (found.isEmpty()) {
        status->setText(QStringLiteral("Nessun calendario trovato."));
    } else if (found.size() == 1) {
        status->setText(QStringLiteral("Trovato 1 calendario."));
    } else {
        status->setText(QStringLiteral("Trovati %1 calendari.").arg(found.size()));
    }
    updateButtons();
}

void ServerDialog::Private::createCalendar() {
    if (busy || homeSet.isEmpty()) return;
    const std::optional<ServerAccount> account = typedAccount();
    if (!account) return;
    busy = true;
    status->setText(QStringLiteral("Creazione del calendario in corso..."));
    updateButtons();
    discovery->createCalendar(
        *account, homeSet, kCalendarName,
        [this](const std::optional<ServerFailure>& failure, const QUrl& calendar) {
            busy = false;
            if (failure) {
                status->setText(describeFailure(*failure));
            } else {
                found.append({calendar, kCalendarName});
                calendars->addItem(shownName(found.last()));
                calendars->setCurrentIndex(calendars->count() - 1);
                status->setText(QStringLiteral("Calendario \"Ricordel\" creato."));
            }
            updateButtons();
        });
}

void ServerDialog::Private::save() {
    const int chosen = calendars->currentIndex();
    if (busy || chosen < 0 || chosen >= found.size()) return;
    outcome.choice = Outcome::Choice::Saved;
    outcome.account.calendar = found[chosen].url;
    outcome.account.user = user->text();
    outcome.account.trustedFingerprint = trustedFingerprint;
    outcome.account.plainHttpConfirmed = plainHttpConfirmed;
    outcome.password = password->text();
    q->accept();
}

void ServerDialog::Private::turnOff() {
    if (!current) return;
    if (dialogs.message(QStringLiteral("Disattivare la sincronizzazione e dimenticare "
                                       "l'account?"),
                        MsgButtons::YesNo, MsgIcon::Question, kTitle) != MsgAnswer::Yes) {
        return;
    }
    outcome = {};
    outcome.choice = Outcome::Choice::TurnedOff;
    q->accept();
}
