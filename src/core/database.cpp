#include "core/database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QUuid>
#include <QVariant>

#include <optional>

#include "core/agenda.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "core/listselection.h"

namespace {

const QString kDatabaseFile = QStringLiteral("Ricordel.mdb");

// The copy opens this query to learn where each field sits; the values are
// then stored by position, in this order.
constexpr int kFieldCount = 4;

QString errorReason(const QSqlError& error) {
    // The database's own words say most ("attempt to write a readonly
    // database", "file is not a database"); Qt's text is the fallback.
    const QString own = error.databaseText().trimmed();
    return own.isEmpty() ? error.text().trimmed() : own;
}

QVariant cellValue(const QString& text) {
    // An empty cell is stored as NULL, not as an empty text.
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// Appends every entry of the current list to its table. Returns the reason
// when something could not be stored.
std::optional<QString> appendList(QSqlDatabase& db, const ListModel& list) {
    const QString table = QString::fromLatin1(list.traits().tableName);

    QSqlQuery create(db);
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Data TEXT, Messaggio TEXT, "
                                    "Ora TEXT, Ord INTEGER, "
                                    "Id INTEGER PRIMARY KEY AUTOINCREMENT)")
                         .arg(table))) {
        return errorReason(create.lastError());
    }

    QSqlQuery select(db);
    select.setForwardOnly(true);
    if (!select.exec(QStringLiteral("SELECT Data,Messaggio,Ora,Ord FROM ") + table)) {
        return errorReason(select.lastError());
    }
    const QSqlRecord fields = select.record();
    select.finish();
    if (fields.count() != kFieldCount) {
        return QStringLiteral("la tabella %1 non ha i campi Data, Messaggio, Ora, Ord").arg(table);
    }

    QStringList names;
    for (int i = 0; i < kFieldCount; ++i) names << fields.fieldName(i);
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?)")
                            .arg(table, names.join(QLatin1Char(','))))) {
        return errorReason(insert.lastError());
    }
    for (int row = 0; row < list.entryCount(); ++row) {
        const AgendaEntry& entry = list.entry(row);
        insert.bindValue(0, cellValue(entry.date));
        insert.bindValue(1, cellValue(entry.message));
        insert.bindValue(2, cellValue(entry.time));
        // Ord is the entry's place in its grid, counted from 1. Bound as an
        // int: the driver would turn a 16-bit value into text.
        insert.bindValue(3, row + 1);
        if (!insert.exec()) return errorReason(insert.lastError());
    }
    return std::nullopt;
}

// Runs the whole copy in one transaction on a connection of its own.
std::optional<QString> copyInto(const QString& connection, Agenda& agenda) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    if (!db.isValid()) return errorReason(db.lastError());
    db.setDatabaseName(agenda.filePath(kDatabaseFile));
    if (!db.open()) return errorReason(db.lastError());
    if (!db.transaction()) return errorReason(db.lastError());

    std::optional<QString> failure;
    for (ListKind kind : kAllListKinds) {
        failure = appendList(db, agenda.list(kind));
        if (failure) break;
    }
    if (!failure && !db.commit()) failure = errorReason(db.lastError());
    // A run stores all its rows or none.
    if (failure) db.rollback();
    db.close();
    return failure;
}

}  // namespace

bool copyListsToDatabase(Agenda& agenda, ListSelection* shown) {
    // A connection of our own, so the copy never disturbs another user of
    // the default connection and leaves nothing registered behind.
    const QString connection =
        QStringLiteral("ricordel-copy-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const std::optional<QString> failure = copyInto(connection, agenda);
    QSqlDatabase::removeDatabase(connection);

    // Whatever happened, the copy ends showing the anniversaries' tab, the
    // last list it copies, as after a click on that tab.
    if (shown) shown->showTab(tabOf(ListKind::Anniversaries));

    if (failure) {
        agenda.dialogs().message(
            QStringLiteral("Impossibile copiare i dati nel database \"%1\": nessun dato è stato "
                           "salvato.\n\nMotivo: %2")
                .arg(kDatabaseFile, failure->isEmpty() ? QStringLiteral("sconosciuto") : *failure),
            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("COPIA DATI IN DB"));
        return false;
    }
    return true;
}
