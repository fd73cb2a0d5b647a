#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest/QTest>

#include <optional>

#include "core/agenda.h"
#include "core/database.h"
#include "core/listselection.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

namespace {

// One stored row: the NULLs kept apart from empty texts.
struct StoredRow {
    std::optional<QString> data;
    std::optional<QString> messaggio;
    std::optional<QString> ora;
    int ord = 0;
    qint64 id = 0;
};

std::optional<QString> textOf(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toString();
}

// Reads the database file with a connection of the test's own.
class Reader {
  public:
    explicit Reader(const QString& folder) : name_(QStringLiteral("reader-%1").arg(++counter_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(QDir(folder).filePath(QStringLiteral("Ricordel.mdb")));
        db.open();
    }
    ~Reader() {
        { QSqlDatabase::database(name_).close(); }
        QSqlDatabase::removeDatabase(name_);
    }
    QList<StoredRow> rows(const QString& table) const {
        QList<StoredRow> out;
        QSqlQuery q(QSqlDatabase::database(name_));
        if (!q.exec("SELECT Data, Messaggio, Ora, Ord, Id FROM " + table + " ORDER BY Id")) {
            return out;
        }
        while (q.next()) {
            out.push_back({textOf(q.value(0)), textOf(q.value(1)), textOf(q.value(2)),
                           q.value(3).toInt(), q.value(4).toLongLong()});
        }
        return out;
    }
    bool exec(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(name_));
        return q.exec(sql);
    }

  private:
    static inline int counter_ = 0;
    QString name_;
};

AgendaEntry makeEntry(const QString& date, const QString& message, const QString& time = {}) {
    return AgendaEntry{date, message, time, {}};
}

}  // namespace

class DatabaseTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();

    void copiesEveryListInGridOrder();
    void secondRunAppendsTheSameRowsAgain();
    void copyEndsShowingTheAnniversaries();
    void fieldsAreSetByTheirPositionInTheQuery();
    void corruptFileIsReportedAndLeftAlone();
    void failureHalfwayStoresNothing();
    void databaseThatRefusesWritesIsReported();
    void unopenableDatabaseIsReported();

  private:
    void fillLists();

    std::optional<TempFolder> folder_;
    FakeClock clock_;
    std::optional<ScriptedDialogs> dialogs_;
    std::optional<Agenda> agenda_;
};

void DatabaseTest::init() {
    folder_.emplace();
    dialogs_.emplace();
    agenda_.emplace(clock_, *dialogs_, folder_->path());
}

void DatabaseTest::cleanup() {
    agenda_.reset();
    dialogs_.reset();
    folder_.reset();
}

void DatabaseTest::fillLists() {
    ListModel& appointments = agenda_->list(ListKind::Appointments);
    appointments.append(makeEntry("7/3", "Dentista", "9:30"));
    appointments.append(makeEntry("8/3", "Senza ora"));
    appointments.append(makeEntry("9/3", "Riunione è lunga", "14:00"));
    ListModel& deadlines = agenda_->list(ListKind::Deadlines);
    deadlines.append(makeEntry("31/3", "Scade bollo"));
    deadlines.append(makeEntry("", ""));  // a row whose cells were emptied by hand
}

void DatabaseTest::copiesEveryListInGridOrder() {
    fillLists();
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();
    QVERIFY(copyListsToDatabase(*agenda_));
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(QSqlDatabase::connectionNames(), connectionsBefore);
    QVERIFY(folder_->exists("Ricordel.mdb"));

    Reader db(folder_->path());
    const QList<StoredRow> appointments = db.rows("Appuntamenti");
    QCOMPARE(appointments.size(), 3);
    QCOMPARE(appointments[0].data, QString("7/3"));
    QCOMPARE(appointments[0].messaggio, QString("Dentista"));
    QCOMPARE(appointments[0].ora, QString("9:30"));
    QCOMPARE(appointments[1].data, QString("8/3"));
    QCOMPARE(appointments[1].ora, std::nullopt);  // no time: NULL, not ""
    QCOMPARE(appointments[2].messaggio, QString("Riunione è lunga"));
    QCOMPARE(appointments[2].ora, QString("14:00"));
    for (int i = 0; i < 3; ++i) QCOMPARE(appointments[i].ord, i + 1);
    QVERIFY(appointments[0].id != appointments[1].id && appointments[1].id != appointments[2].id);

    const QList<StoredRow> deadlines = db.rows("Scadenze");
    QCOMPARE(deadlines.size(), 2);
    QCOMPARE(deadlines[0].data, QString("31/3"));
    QCOMPARE(deadlines[0].ora, std::nullopt);
    QCOMPARE(deadlines[1].data, std::nullopt);
    QCOMPARE(deadlines[1].messaggio, std::nullopt);
    QCOMPARE(deadlines[1].ord, 2);

    // The empty list still gets its table, with nothing in it.
    QVERIFY(db.exec("SELECT * FROM Ricorrenze"));
    QCOMPARE(db.rows("Ricorrenze").size(), 0);

    // The grids are only read.
    QCOMPARE(agenda_->list(ListKind::Appointments).entryCount(), 3);
    QCOMPARE(agenda_->list(ListKind::Deadlines).entry(0), makeEntry("31/3", "Scade bollo"));
}

void DatabaseTest::secondRunAppendsTheSameRowsAgain() {
    fillLists();
    QVERIFY(copyListsToDatabase(*agenda_));
    QVERIFY(copyListsToDatabase(*agenda_));
    QVERIFY(dialogs_->shown.isEmpty());

    Reader db(folder_->path());
    const QList<StoredRow> rows = db.rows("Appuntamenti");
    QCOMPARE(rows.size(), 6);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(rows[i + 3].data, rows[i].data);
        QCOMPARE(rows[i + 3].messaggio, rows[i].messaggio);
        QCOMPARE(rows[i + 3].ora, rows[i].ora);
        QCOMPARE(rows[i + 3].ord, rows[i].ord);
        QVERIFY(rows[i + 3].id > rows[2].id);
    }
    QCOMPARE(db.rows("Scadenze").size(), 4);
    QCOMPARE(db.rows("Ricorrenze").size(), 0);
}

void DatabaseTest::copyEndsShowingTheAnniversaries() {
    agenda_->list(ListKind::Anniversaries).append(makeEntry("2/6", "E' il Compleanno di Anna"));
    ListSelection shown(*agenda_);
    shown.selectTab(1);
    QSignalSpy tabs(&shown, &ListSelection::currentTabChanged);
    QVERIFY(copyListsToDatabase(*agenda_, &shown));

    QList<int> selected;
    for (const QList<QVariant>& args : tabs) selected << args.at(0).toInt();
    QCOMPARE(selected, QList<int>{2});  // as after a click on that tab
    QCOMPARE(shown.currentKind(), ListKind::Anniversaries);

    Reader db(folder_->path());
    const QList<StoredRow> rows = db.rows("Ricorrenze");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].messaggio, QString("E' il Compleanno di Anna"));
    QCOMPARE(rows[0].ora, std::nullopt);
    QCOMPARE(rows[0].ord, 1);
}

void DatabaseTest::fieldsAreSetByTheirPositionInTheQuery() {
    // A database made elsewhere, with its columns in another order and rows
    // of its own: the copy keeps the rows and puts each value in its column.
    {
        Reader db(folder_->path());
        QVERIFY(
            db.exec("CREATE TABLE Appuntamenti (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
                    "Ord INTEGER, Ora TEXT, Note TEXT, Messaggio TEXT, Data TEXT)"));
        QVERIFY(
            db.exec("INSERT INTO Appuntamenti (Ord, Ora, Messaggio, Data) "
                    "VALUES (9, '7:00', 'Vecchio', '1/1')"));
    }
    fillLists();
    QVERIFY(copyListsToDatabase(*agenda_));
    QVERIFY(dialogs_->shown.isEmpty());

    Reader db(folder_->path());
    const QList<StoredRow> rows = db.rows("Appuntamenti");
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].messaggio, QString("Vecchio"));
    QCOMPARE(rows[1].data, QString("7/3"));
    QCOMPARE(rows[1].messaggio, QString("Dentista"));
    QCOMPARE(rows[1].ora, QString("9:30"));
    QCOMPARE(rows[1].ord, 1);
    QCOMPARE(rows[3].ord, 3);
}

void DatabaseTest::corruptFileIsReportedAndLeftAlone() {
    // For instance the desktop database of an older installation.
    const QByteArray foreign = QByteArray("\0\1\0\0Standard Jet DB\0", 20).repeated(300);
    folder_->write("Ricordel.mdb", foreign);
    fillLists();
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();

    ListSelection shown(*agenda_);
    QVERIFY(!copyListsToDatabase(*agenda_, &shown));
    QCOMPARE(dialogs_->shown.size(), 1);
    const auto& box = dialogs_->shown[0];
    QVERIFY(box.text.contains("Ricordel.mdb"));
    QVERIFY2(box.text.contains("not a database"), qPrintable(box.text));
    QCOMPARE(box.icon, MsgIcon::Critical);
    QCOMPARE(box.buttons, MsgButtons::Ok);
    QCOMPARE(folder_->read("Ricordel.mdb"), foreign);
    QCOMPARE(QSqlDatabase::connectionNames(), connectionsBefore);
    QCOMPARE(shown.currentTab(), 2);
}

void DatabaseTest::failureHalfwayStoresNothing() {
    // The appointments go in first; the deadlines' table lacks a column, so
    // the run fails there and the appointments must not stay behind.
    {
        Reader db(folder_->path());
        QVERIFY(
            db.exec("CREATE TABLE Appuntamenti (Data TEXT, Messaggio TEXT, Ora TEXT, "
                    "Ord INTEGER, Id INTEGER PRIMARY KEY AUTOINCREMENT)"));
        QVERIFY(db.exec("INSERT INTO Appuntamenti (Data, Messaggio, Ord) VALUES ('1/1', 'x', 1)"));
        QVERIFY(db.exec("CREATE TABLE Scadenze (Data TEXT, Messaggio TEXT)"));
    }
    fillLists();
    ListSelection shown(*agenda_);
    QVERIFY(!copyListsToDatabase(*agenda_, &shown));
    QCOMPARE(dialogs_->shown.size(), 1);
    QVERIFY2(dialogs_->shown[0].text.contains("Ora"), qPrintable(dialogs_->shown[0].text));

    Reader db(folder_->path());
    QCOMPARE(db.rows("Appuntamenti").size(), 1);
    QVERIFY(!db.exec("SELECT * FROM Ricorrenze"));
    QCOMPARE(shown.currentTab(), 2);
}

void DatabaseTest::databaseThatRefusesWritesIsReported() {
    // A file written by a newer engine may be read but not written, whoever
    // the user is (file permissions do not stop an administrator).
    fillLists();
    QVERIFY(copyListsToDatabase(*agenda_));
    QByteArray bytes = folder_->read("Ricordel.mdb");
    QVERIFY(bytes.size() > 100);
    bytes[18] = 3;  // the header's file-format write version
    folder_->write("Ricordel.mdb", bytes);

    QVERIFY(!copyListsToDatabase(*agenda_));
    QCOMPARE(dialogs_->shown.size(), 1);
    QVERIFY2(dialogs_->shown[0].text.contains("readonly"), qPrintable(dialogs_->shown[0].text));
    QCOMPARE(folder_->read("Ricordel.mdb"), bytes);
    Reader db(folder_->path());
    QCOMPARE(db.rows("Appuntamenti").size(), 3);
    QCOMPARE(db.rows("Scadenze").size(), 2);
}

void DatabaseTest::unopenableDatabaseIsReported() {
    // A folder where the file should be: the database cannot even be opened.
    QVERIFY(QDir(folder_->path()).mkdir("Ricordel.mdb"));
    fillLists();
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();
    ListSelection shown(*agenda_);
    QVERIFY(!copyListsToDatabase(*agenda_, &shown));
    QCOMPARE(dialogs_->shown.size(), 1);
    QVERIFY(dialogs_->shown[0].text.contains("Ricordel.mdb"));
    QCOMPARE(QSqlDatabase::connectionNames(), connectionsBefore);
    QCOMPARE(shown.currentTab(), 2);
}

QTEST_GUILESS_MAIN(DatabaseTest)
#include "database_test.moc"
