#include <QDir>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "ui/printcommand.h"

namespace {

// Keeps the texts a page receives instead of making a PDF of them.
class TextRecorder final : public QPaintEngine {
  public:
    TextRecorder() : QPaintEngine(AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
    Type type() const override { return User; }
    QStringList texts;
};

class RecordingPage final : public QPdfWriter {
  public:
    RecordingPage() : QPdfWriter(QDir::temp().filePath(QStringLiteral("never-written.pdf"))) {
        setPageMargins(QMarginsF(0, 0, 0, 0));
    }
    bool newPage() override { return true; }
    QPaintEngine* paintEngine() const override { return &recorder; }
    mutable TextRecorder recorder;
};

// The printers of a system the test describes.
class FakePrinters final : public PrinterAccess {
  public:
    int printerCount() const override { return count; }
    bool print(const std::function<void(QPagedPaintDevice&)>& draw, QString* reason) override {
        ++printRuns;
        if (!failure.isEmpty()) {
            *reason = failure;
            return false;
        }
        draw(page);
        return true;
    }

    int count = 1;
    QString failure;
    int printRuns = 0;
    RecordingPage page;
};

// A device that cannot be painted on, though the printer said it printed.
class DeadPage final : public QPdfWriter {
  public:
    DeadPage() : QPdfWriter(QDir::temp().filePath(QStringLiteral("never-written.pdf"))) {}
    QPaintEngine* paintEngine() const override { return nullptr; }
};

class DeadPrinter final : public PrinterAccess {
  public:
    int printerCount() const override { return 1; }
    bool print(const std::function<void(QPagedPaintDevice&)>& draw, QString*) override {
        draw(page);
        return true;
    }
    DeadPage page;
};

}  // namespace

class PrintCommandTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void noPrinterSaysSoAndPrintsNothing();
    void printsTheAppointmentsOnly();
    void printerFailureIsReportedWithItsReason();
    void pageThatCannotBeDrawnIsNotASuccess();
};

void PrintCommandTest::noPrinterSaysSoAndPrintsNothing() {
    AgendaRig rig;
    Agenda& agenda = rig.agenda;
    ScriptedDialogs& dialogs = rig.dialogs;
    agenda.appointments().append({"7/3", "Dentista", "9:30", {}});
    FakePrinters printers;
    printers.count = 0;

    runPrintCommand(agenda, printers);
    QCOMPARE(printers.printRuns, 0);
    QCOMPARE(dialogs.shown.size(), 1);
    const auto& box = dialogs.shown[0];
    QCOMPARE(box.text, QStringLiteral("Nessuna stampante installata"));
    QCOMPARE(box.icon, MsgIcon::Information);
    QCOMPARE(box.buttons, MsgButtons::Ok);
    // An empty title, not the program's own.
    QVERIFY(box.title.has_value());
    QVERIFY(box.title->isEmpty());
}

void PrintCommandTest::printsTheAppointmentsOnly() {
    AgendaRig rig(QDateTime(QDate(2026, 12, 20), QTime(8, 0)));
    Agenda& agenda = rig.agenda;
    ScriptedDialogs& dialogs = rig.dialogs;
    agenda.appointments().append({"7/3", "Dentista", "9:30", {}});
    agenda.list(ListKind::Deadlines).append({"8/3", "Scade bollo", {}, {}});
    rig.shown.selectTab(1);  // whatever list is shown
    FakePrinters printers;
    printers.count = 2;

    runPrintCommand(agenda, printers);
    QCOMPARE(printers.printRuns, 1);
    QVERIFY(dialogs.shown.isEmpty());
    const QStringList& texts = printers.page.recorder.texts;
    QVERIFY(texts.contains("STAMPA DEL "));
    QVERIFY(texts.contains("20/12/2026"));  // today from the program's clock
    QVERIFY(texts.contains("Dentista"));
    QVERIFY(texts.contains("Sabato"));
    QVERIFY(!texts.contains("Scade bollo"));
}

void PrintCommandTest::printerFailureIsReportedWithItsReason() {
    AgendaRig rig;
    Agenda& agenda = rig.agenda;
    ScriptedDialogs& dialogs = rig.dialogs;
    FakePrinters printers;
    printers.failure = QStringLiteral("carta esaurita");

    runPrintCommand(agenda, printers);
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY2(dialogs.shown[0].text.contains("carta esaurita"), qPrintable(dialogs.shown[0].text));
    QCOMPARE(dialogs.shown[0].icon, MsgIcon::Critical);
}

void PrintCommandTest::pageThatCannotBeDrawnIsNotASuccess() {
    AgendaRig rig;
    Agenda& agenda = rig.agenda;
    ScriptedDialogs& dialogs = rig.dialogs;
    DeadPrinter printer;

    runPrintCommand(agenda, printer);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown[0].icon, MsgIcon::Critical);
    QVERIFY(dialogs.shown[0].text.startsWith("Stampa"));
}

QTEST_MAIN(PrintCommandTest)
#include "printcommand_test.moc"
