#include "operations/sync/syncstore.h"

#include <QAtomicInteger>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <functional>

namespace {

// The layout this code reads and writes. A file with a higher number was
// written by a later program and is refused, never downgraded.
constexpr int kSchemaVersion = 1;
// What the meta table says in `format`: a file without it is not ours.
constexpr char kFormatMark[] = "Ricordel sync store";

// Bounds on what is read back: a damaged or edited file cannot make the
// program believe or allocate more than this.
constexpr qint64 kMaxIcsBytes = 4 * 1024 * 1024;
constexpr qint64 kMaxShortBytes = 16 * 1024;  // href, ETag, UID, token, address, user
constexpr int kMaxRecords = 200000;

// The records' columns, in the order of the selects and the inserts.
// Every text or blob is selected only when within its bound, and its length
// beside it, so that an oversized value is never loaded.
QString boundedColumn(const char* name, qint64 limit) {
    const QString column = QString::fromLatin1(name);
    return QStringLiteral("CASE WHEN length(%1) <= %2 THEN %1 END, length(%1)")
        .arg(column)
        .arg(limit);
}

QString recordsSelect() {
    return QStringLiteral("SELECT key, role, kind, day, month, repeated, ") %
           boundedColumn("time", kMaxImportedText) % QStringLiteral(", ") %
           boundedColumn("message", kMaxImportedText) % QStringLiteral(", ") %
           boundedColumn("href", kMaxShortBytes) % QStringLiteral(", ") %
           boundedColumn("etag", kMaxShortBytes) % QStringLiteral(", ") %
           boundedColumn("uid", kMaxShortBytes) % QStringLiteral(", ") %
           boundedColumn("ics", kMaxIcsBytes) % QStringLiteral(", ") %
           boundedColumn("reviewOn", 10) % QStringLiteral(" FROM records ORDER BY key");
}

QString reasonOf(const QSqlError& error) {
    const QString own = error.databaseText().trimmed();
    return own.isEmpty() ? error.text().trimmed() : own;
}

bool dayExists(int day, int month) {
    return QDate(2000, month, day).isValid();  // 2000 is a leap year
}

bool roleInRange(qint64 role) {
    return role >= static_cast<int>(SyncRecord::Role::Entry) &&
           role <= static_cast<int>(SyncRecord::Role::Detached);
}

bool kindInRange(qint64 kind) {
    return kind >= static_cast<int>(ListKind::Appointments) &&
           kind <= static_cast<int>(ListKind::Anniversaries);
}

// Whether a record may be stored and believed when read back. An entry
// needs a day that exists; the other roles may leave the content empty.
bool recordIsSound(const SyncRecord& r) {
    const ImportedEntry& c = r.content;
    const bool noDay = c.day == 0 && c.month == 0;
    if (!dayExists(c.day, c.month) && (r.role == SyncRecord::Role::Entry || !noDay)) return false;
    return c.message.size() <= kMaxImportedText && c.time.size() <= kMaxImportedText &&
           r.href.toUtf8().size() <= kMaxShortBytes && r.etag.size() <= kMaxShortBytes &&
           r.uid.size() <= kMaxShortBytes && r.ics.size() <= kMaxIcsBytes;
}

QVariant textValue(const QString& text) {
    // An empty href is NULL, so that any number of records may lack one.
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QVariant blobValue(const QByteArray& bytes) {
    return bytes.isNull() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(bytes);
}

}  // namespace

struct SyncStore::Private {
    QString connection;
    QString path;
    QString lastError;
    mutable int skipped = 0;
    bool inTransaction = false;

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    bool fail(const QString& reason) {
        lastError = reason;
        return false;
    }
    bool fail(const QSqlError& error) { return fail(reasonOf(error)); }

    bool exec(const QString& sql) {
        QSqlDatabase database = db();
        QSqlQuery q(database);
        return q.exec(sql) || fail(q.lastError());
    }

    // Runs `work` inside the caller's transaction, or in one of its own.
    bool atomically(const std::function<bool()>& work) {
        if (inTransaction) return work();
        QSqlDatabase database = db();
        if (!database.transaction()) return fail(database.lastError());
        if (work() && database.commit()) return true;
        if (lastError.isEmpty()) lastError = reasonOf(database.lastError());
        database.rollback();
        return false;
    }

    bool setMeta(const QString& name, const QVariant& value) {
        QSqlDatabase database = db();
        QSqlQuery q(database);
        if (!q.prepare(QStringLiteral("INSERT INTO meta (name, value) VALUES (?, ?) "
                                      "ON CONFLICT(name) DO UPDATE SET value = excluded.value"))) {
            return fail(q.lastError());
        }
        q.addBindValue(name);
        q.addBindValue(value);
        return q.exec() || fail(q.lastError());
    }

    // The value of `name`, when present and within `limit` bytes.
    std::optional<QVariant> meta(const QString& name, qint64 limit) const {
        QSqlDatabase database = db();
        QSqlQuery q(database);
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT CASE WHEN length(value) <= ? THEN value END "
                                      "FROM meta WHERE name = ?"))) {
            return std::nullopt;
        }
        q.addBindValue(limit);
        q.addBindValue(name);
        if (!q.exec() || !q.next() || q.value(0).isNull()) return std::nullopt;
        return q.value(0);
    }

    std::optional<QString> checkOrCreate();
};

// Makes the tables in a new file; refuses a file that is not a store of
// ours or was written by a later version.
std::optional<QString> SyncStore::Private::checkOrCreate() {
    const QString name = QDir::toNativeSeparators(path);
    QSqlDatabase database = db();
    QSqlQuery tables(database);
    tables.setForwardOnly(true);
    // The first read of the file: a file that is not a database fails here.
    if (!tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        return QStringLiteral(
                   "Il file \"%1\" è danneggiato o non è un archivio di "
                   "sincronizzazione (%2).")
            .arg(name, reasonOf(tables.lastError()));
    }
    const bool empty = tables.next() && tables.value(0).toLongLong() == 0;
    tables.finish();

    if (!exec(QStringLiteral("PRAGMA synchronous = FULL"))) return lastError;
    if (empty) {
        // A rollback journal: a crash leaves the file as the last commit
        // wrote it, once the journal is played back at the next opening.
        if (!exec(QStringLiteral("PRAGMA journal_mode = DELETE"))) return lastError;
        const bool made = atomically([this] {
            return exec(QStringLiteral("CREATE TABLE meta (name TEXT PRIMARY KEY, value BLOB)")) &&
                   exec(QStringLiteral(
                       "CREATE TABLE records (key INTEGER PRIMARY KEY, role INTEGER NOT NULL, "
                       "kind INTEGER NOT NULL, day INTEGER NOT NULL, month INTEGER NOT NULL, "
                       "time TEXT, message TEXT, repeated INTEGER NOT NULL, href TEXT UNIQUE, "
                       "etag BLOB, uid BLOB, ics BLOB, reviewOn TEXT)")) &&
                   setMeta(QStringLiteral("format"), QString::fromLatin1(kFormatMark)) &&
                   setMeta(QStringLiteral("version"), kSchemaVersion);
        });
        if (!made) {
            return QStringLiteral("Impossibile preparare il file \"%1\": %2.").arg(name, lastError);
        }
        return std::nullopt;
    }

    const std::optional<QVariant> format = meta(QStringLiteral("format"), 64);
    const std::optional<QVariant> version = meta(QStringLiteral("version"), 16);
    bool numeric = false;
    const qint64 number = version ? version->toLongLong(&numeric) : 0;
    if (!format || format->toString() != QLatin1StringView(kFormatMark) || !numeric || number < 1) {
        return QStringLiteral("Il file \"%1\" non è un archivio di sincronizzazione di Ricordel.")
            .arg(name);
    }
    if (number > kSchemaVersion) {
        return QStringLiteral(
                   "Il file \"%1\" è stato scritto da una versione più recente di "
                   "Ricordel (formato %2) e non può essere letto.")
            .arg(name)
            .arg(number);
    }
    QSqlQuery probe(database);
    if (!probe.exec(recordsSelect() % QStringLiteral(" LIMIT 0"))) {
        return QStringLiteral("Il file \"%1\" è danneggiato (%2).")
            .arg(name, reasonOf(probe.lastError()));
    }
    if (!exec(QStringLiteral("PRAGMA journal_mode = DELETE"))) return lastError;
    return std::nullopt;
}

SyncStore::SyncStore() : d(std::make_unique<Private>()) {}

SyncStore::~SyncStore() {
    close();
}

std::optional<QString> SyncStore::open(const QString& path) {
    close();
    static QAtomicInteger<quint64> counter;
    d->connection = QStringLiteral("ricordel-sync-store-%1").arg(counter.fetchAndAddRelaxed(1));
    d->path = path;
    d->lastError.clear();
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connection);
        database.setDatabaseName(path);
        if (!database.open()) {
            const QString reason =
                QStringLiteral("Impossibile aprire il file \"%1\": %2.")
                    .arg(QDir::toNativeSeparators(path), reasonOf(database.lastError()));
            database = QSqlDatabase();
            close();
            return reason;
        }
    }
    if (std::optional<QString> refused = d->checkOrCreate()) {
        close();
        d->lastError = *refused;
        return refused;
    }
    return std::nullopt;
}

bool SyncStore::isOpen() const {
    return !d->connection.isEmpty() && d->db().isOpen();
}

void SyncStore::close() {
    if (d->connection.isEmpty()) return;
    {
        QSqlDatabase database = d->db();
        // What was begun and not committed is dropped, as a crash would.
        if (d->inTransaction && database.isOpen()) database.rollback();
        database.close();
    }
    d->inTransaction = false;
    QSqlDatabase::removeDatabase(d->connection);
    d->connection.clear();
}

std::optional<SyncAccountSettings> SyncStore::account() const {
    if (!isOpen()) return std::nullopt;
    const std::optional<QVariant> calendar = d->meta(QStringLiteral("calendar"), kMaxShortBytes);
    if (!calendar) return std::nullopt;
    SyncAccountSettings account;
    account.calendar = QUrl(calendar->toString(), QUrl::StrictMode);
    const QString scheme = account.calendar.scheme();
    if (!account.calendar.isValid() || account.calendar.host().isEmpty() ||
        (scheme != QLatin1StringView("https") && scheme != QLatin1StringView("http"))) {
        return std::nullopt;
    }
    account.user = d->meta(QStringLiteral("user"), kMaxShortBytes).value_or(QVariant()).toString();
    account.trustedFingerprint =
        d->meta(QStringLiteral("fingerprint"), kMaxShortBytes).value_or(QVariant()).toString();
    account.plainHttpConfirmed =
        d->meta(QStringLiteral("plainHttp"), 16).value_or(QVariant()).toLongLong() == 1;
    return account;
}

QByteArray SyncStore::token() const {
    if (!isOpen()) return {};
    return d->meta(QStringLiteral("token"), kMaxShortBytes).value_or(QVariant()).toByteArray();
}

int SyncStore::skippedRecords() const {
    return d->skipped;
}

QList<SyncRecord> SyncStore::records() const {
    d->skipped = 0;
    QList<SyncRecord> out;
    if (!isOpen()) return out;
    QSqlDatabase database = d->db();
    QSqlQuery q(database);
    q.setForwardOnly(true);
    if (!q.exec(recordsSelect())) {
        d->lastError = reasonOf(q.lastError());
        return out;
    }
    while (q.next()) {
        if (out.size() >= kMaxRecords) {
            ++d->skipped;
            continue;
        }
        // A bounded column selected NULL with a length: the value was over
        // its bound and was never loaded.
        bool oversized = false;
        for (int column = 6; column < 20; column += 2) {
            if (q.value(column).isNull() && !q.value(column + 1).isNull()) oversized = true;
        }
        // The numbers must be stored as numbers: a text would read as 0.
        bool numbers = true;
        for (int column = 0; column < 6; ++column) {
            if (q.value(column).typeId() != QMetaType::LongLong) numbers = false;
        }
        const qint64 role = q.value(1).toLongLong();
        const qint64 kind = q.value(2).toLongLong();
        SyncRecord r;
        r.key = q.value(0).toLongLong();
        r.content.day = static_cast<int>(std::clamp<qint64>(q.value(3).toLongLong(), -1, 99));
        r.content.month = static_cast<int>(std::clamp<qint64>(q.value(4).toLongLong(), -1, 99));
        const qint64 repeated = q.value(5).toLongLong();
        r.content.time = q.value(6).toString();
        r.content.message = q.value(8).toString();
        r.href = q.value(10).toString();
        r.etag = q.value(12).toByteArray();
        r.uid = q.value(14).toByteArray();
        r.ics = q.value(16).toByteArray();
        const QString reviewOn = q.value(18).toString();
        r.reviewOn = QDate::fromString(reviewOn, Qt::ISODate);
        const bool reviewSound = q.value(18).isNull() || r.reviewOn.isValid();
        if (oversized || !numbers || !roleInRange(role) || !kindInRange(kind) || r.key <= 0 ||
            (repeated != 0 && repeated != 1) || !reviewSound) {
            ++d->skipped;
            continue;
        }
        r.role = static_cast<SyncRecord::Role>(role);
        r.content.kind = static_cast<ListKind>(kind);
        r.content.repeated = repeated == 1;
        if (!recordIsSound(r)) {
            ++d->skipped;
            continue;
        }
        out.append(std::move(r));
    }
    return out;
}

bool SyncStore::begin() {
    d->lastError.clear();
    if (!isOpen()) return d->fail(QStringLiteral("archivio di sincronizzazione non aperto"));
    if (d->inTransaction) return d->fail(QStringLiteral("una modifica è già in corso"));
    QSqlDatabase database = d->db();
    if (!database.transaction()) return d->fail(database.lastError());
    d->inTransaction = true;
    return true;
}

bool SyncStore::commit() {
    d->lastError.clear();
    if (!d->inTransaction) return d->fail(QStringLiteral("nessuna modifica in corso"));
    QSqlDatabase database = d->db();
    if (!database.commit()) {
        d->fail(database.lastError());
        database.rollback();
        d->inTransaction = false;
        return false;
    }
    d->inTransaction = false;
    return true;
}

void SyncStore::rollback() {
    if (!d->inTransaction) return;
    QSqlDatabase database = d->db();
    database.rollback();
    d->inTransaction = false;
}

bool SyncStore::setAccount(const SyncAccountSettings& account) {
    d->lastError.clear();
    if (!isOpen()) return d->fail(QStringLiteral("archivio di sincronizzazione non aperto"));
    // The password never reaches the file, even when typed into the address.
    const QString calendar = account.calendar.toString(QUrl::RemovePassword | QUrl::FullyEncoded);
    if (calendar.toUtf8().size() > kMaxShortBytes ||
        account.user.toUtf8().size() > kMaxShortBytes ||
        account.trustedFingerprint.toUtf8().size() > kMaxShortBytes) {
        return d->fail(QStringLiteral("dati dell'account troppo lunghi"));
    }
    return d->atomically([&] {
        return d->setMeta(QStringLiteral("calendar"), calendar) &&
               d->setMeta(QStringLiteral("user"), account.user) &&
               d->setMeta(QStringLiteral("fingerprint"), account.trustedFingerprint) &&
               d->setMeta(QStringLiteral("plainHttp"), account.plainHttpConfirmed ? 1 : 0);
    });
}

bool SyncStore::setToken(const QByteArray& token) {
    d->lastError.clear();
    if (!isOpen()) return d->fail(QStringLiteral("archivio di sincronizzazione non aperto"));
    if (token.size() > kMaxShortBytes) return d->fail(QStringLiteral("token troppo lungo"));
    return d->setMeta(QStringLiteral("token"), QVariant(token));
}

bool SyncStore::put(SyncRecord& record) {
    d->lastError.clear();
    if (!isOpen()) return d->fail(QStringLiteral("archivio di sincronizzazione non aperto"));
    if (record.key < 0 || !recordIsSound(record)) {
        return d->fail(QStringLiteral("evento non valido per l'archivio di sincronizzazione"));
    }
    QSqlDatabase database = d->db();
    QSqlQuery q(database);
    // A given key replaces its own row only: a clash on href is an error,
    // never the silent loss of another record.
    const QString sql = QStringLiteral(
        "INSERT INTO records (key, role, kind, day, month, time, message, repeated, href, etag, "
        "uid, ics, reviewOn) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT(key) DO UPDATE SET role = excluded.role, kind = excluded.kind, "
        "day = excluded.day, month = excluded.month, time = excluded.time, "
        "message = excluded.message, repeated = excluded.repeated, href = excluded.href, "
        "etag = excluded.etag, uid = excluded.uid, ics = excluded.ics, "
        "reviewOn = excluded.reviewOn");
    if (!q.prepare(sql)) return d->fail(q.lastError());
    q.addBindValue(record.key == 0 ? QVariant(QMetaType::fromType<qint64>())
                                   : QVariant(record.key));
    q.addBindValue(static_cast<int>(record.role));
    q.addBindValue(static_cast<int>(record.content.kind));
    q.addBindValue(record.content.day);
    q.addBindValue(record.content.month);
    q.addBindValue(QVariant(record.content.time));
    q.addBindValue(QVariant(record.content.message));
    q.addBindValue(record.content.repeated ? 1 : 0);
    q.addBindValue(textValue(record.href));
    q.addBindValue(blobValue(record.etag));
    q.addBindValue(blobValue(record.uid));
    q.addBindValue(blobValue(record.ics));
    q.addBindValue(record.reviewOn.isValid() ? QVariant(record.reviewOn.toString(Qt::ISODate))
                                             : QVariant(QMetaType::fromType<QString>()));
    if (!q.exec()) return d->fail(q.lastError());
    if (record.key == 0) record.key = q.lastInsertId().toLongLong();
    return true;
}

bool SyncStore::remove(qint64 key) {
    d->lastError.clear();
    if (!isOpen()) return d->fail(QStringLiteral("archivio di sincronizzazione non aperto"));
    QSqlDatabase database = d->db();
    QSqlQuery q(database);
    if (!q.prepare(QStringLiteral("DELETE FROM records WHERE key = ?"))) {
        return d->fail(q.lastError());
    }
    q.addBindValue(key);
    return q.exec() || d->fail(q.lastError());
}

bool SyncStore::clear() {
    d->lastError.clear();
    if (!isOpen()) return d->fail(QStringLiteral("archivio di sincronizzazione non aperto"));
    return d->atomically([this] {
        return d->exec(QStringLiteral("DELETE FROM records")) &&
               d->exec(QStringLiteral("DELETE FROM meta WHERE name NOT IN ('format', 'version')"));
    });
}

QString SyncStore::lastError() const {
    return d->lastError;
}
