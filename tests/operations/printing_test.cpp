#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <memory>

#include "core/agendaentry.h"
#include "core/listmodel.h"
#include "operations/printing.h"

namespace {

// One text as the painter handed it to the device.
struct DrawnText {
    int page = 0;
    QPointF baseline;  // device pixels from the top-left of the paint area
    QString text;
    QFont font;
};

class RecordingEngine final : public QPaintEngine {
  public:
    RecordingEngine() : QPaintEngine(AllFeatures) {}
    bool begin(QPaintDevice*) override { return beginSucceeds; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        texts.push_back({page, p, item.text(), item.font()});
    }
    Type type() const override { return User; }

    QList<DrawnText> texts;
    int page = 0;
    bool beginSucceeds = true;
};

// A PDF writer's page geometry and resolution with a recording engine in place
// of its own: the texts and where they went, page by page.
class RecordingDevice final : public QPdfWriter {
  public:
    explicit RecordingDevice(int dpi = 1200, const QPageSize& size = QPageSize(QPageSize::A4))
        : QPdfWriter(QDir::temp().filePath(QStringLiteral("never-written.pdf"))) {
        setResolution(dpi);
        setPageSize(size);
        setPageMargins(QMarginsF(0, 0, 0, 0));
    }
    bool newPage() override {
        if (!newPageSucceeds) return false;
        ++engine_.page;
        return true;
    }
    QPaintEngine* paintEngine() const override { return &engine_; }

    RecordingEngine& engine() { return engine_; }
    const QList<DrawnText>& texts() const { return engine_.texts; }
    int pages() const { return engine_.page + 1; }
    bool newPageSucceeds = true;

    double mmX(double px) const { return px * 25.4 / logicalDpiX(); }
    double mmY(double px) const { return px * 25.4 / logicalDpiY(); }
    // The top of a text's line, in millimetres: where the printer's current
    // position was when the text was printed.
    double topMm(const DrawnText& t) const {
        return mmY(t.baseline.y() - QFontMetricsF(t.font, this).ascent());
    }
    double bottomPx(const DrawnText& t) const {
        return t.baseline.y() + QFontMetricsF(t.font, this).descent();
    }

  private:
    mutable RecordingEngine engine_;
};

constexpr double kTolMm = 0.5;

std::unique_ptr<ListModel> appointmentList(const QList<AgendaEntry>& entries) {
    auto model = std::make_unique<ListModel>(ListKind::Appointments);
    for (const AgendaEntry& e : entries) model->append(e);
    return model;
}

AgendaEntry makeEntry(const QString& date, const QString& message, const QString& time = {}) {
    return AgendaEntry{date, message, time, {}};
}

const DrawnText* findText(const QList<DrawnText>& texts, const QString& text) {
    for (const DrawnText& t : texts)
        if (t.text == text) return &t;
    return nullptr;
}

}  // namespace

class PrintingTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void titleAloneForAnEmptyList_data();
    void titleAloneForAnEmptyList();
    void rowsSitInTheirColumns_data();
    void rowsSitInTheirColumns();
    void weekdayIsTakenInTheCurrentYear();
    void emptyTimeAndBadDatePrintNothing();
    void rowsThatDoNotFitContinueOnANewPage();
    void pdfGetsOnePagePerPageful();
    void tinyPageStillPrintsEveryRowOnce();
    void deviceFailuresAreReported();
};

void PrintingTest::titleAloneForAnEmptyList_data() {
    QTest::addColumn<int>("dpi");
    QTest::newRow("300 dpi") << 300;
    QTest::newRow("1200 dpi") << 1200;
}

void PrintingTest::titleAloneForAnEmptyList() {
    QFETCH(int, dpi);
    RecordingDevice device(dpi);
    auto list = appointmentList({});
    QVERIFY(printAppointments(*list, QDate(2026, 3, 7), device));

    const QList<DrawnText>& texts = device.texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(device.pages(), 1);

    const DrawnText& title = texts[0];
    QCOMPARE(title.text, QStringLiteral("STAMPA DEL "));
    QCOMPARE(title.font.family(), QStringLiteral("Arial"));
    QCOMPARE(title.font.pointSizeF(), 10.0);
    QVERIFY(!title.font.bold());
    QVERIFY(qAbs(device.mmX(title.baseline.x()) - 5) < kTolMm);
    QVERIFY(qAbs(device.topMm(title) - 10) < kTolMm);

    // The date follows the title on the same line, in bold, day first.
    const DrawnText& date = texts[1];
    QCOMPARE(date.text, QStringLiteral("07/03/2026"));
    QVERIFY(date.font.bold());
    QCOMPARE(date.font.family(), QStringLiteral("Arial"));
    QCOMPARE(date.font.pointSizeF(), 10.0);
    QFont regular(QStringLiteral("Arial"));
    regular.setPointSizeF(10);
    const double titleEnd =
        title.baseline.x() + QFontMetricsF(regular, &device).horizontalAdvance(title.text);
    QVERIFY(qAbs(device.mmX(date.baseline.x() - titleEnd)) < kTolMm);
    QVERIFY(qAbs(device.topMm(date) - 10) < kTolMm);
}

void PrintingTest::rowsSitInTheirColumns_data() {
    titleAloneForAnEmptyList_data();
}

void PrintingTest::rowsSitInTheirColumns() {
    QFETCH(int, dpi);
    RecordingDevice device(dpi);
    auto list = appointmentList({makeEntry("7/3", "Dentista", "9:30"),
                                 makeEntry("9/3", "Riunione", "14:00"),
                                 makeEntry("25/12", "Natale", "12:00")});
    QVERIFY(printAppointments(*list, QDate(2026, 3, 7), device));

    struct Expected {
        QString text;
        double x;
        double y;
    };
    const QList<Expected> expected = {
        {"7/3", 5, 20},   {"Sabato", 15, 20},  {"Dentista", 35, 20}, {"9:30", 130, 20},
        {"9/3", 5, 25},   {"Lunedì", 15, 25},  {"Riunione", 35, 25}, {"14:00", 130, 25},
        {"25/12", 5, 30}, {"Venerdì", 15, 30}, {"Natale", 35, 30},   {"12:00", 130, 30},
    };
    QCOMPARE(device.texts().size(), 2 + expected.size());
    for (const Expected& e : expected) {
        const DrawnText* t = findText(device.texts(), e.text);
        QVERIFY2(t, qPrintable(e.text));
        QVERIFY2(qAbs(device.mmX(t->baseline.x()) - e.x) < kTolMm, qPrintable(e.text));
        QVERIFY2(qAbs(device.topMm(*t) - e.y) < kTolMm, qPrintable(e.text));
        QVERIFY2(!t->font.bold(), qPrintable(e.text));
        QCOMPARE(t->font.family(), QStringLiteral("Arial"));
        QCOMPARE(t->font.pointSizeF(), 10.0);
        QCOMPARE(t->page, 0);
    }
}

void PrintingTest::weekdayIsTakenInTheCurrentYear() {
    // Printed in December, 1/1 is still this year's 1 January (a Thursday in
    // 2026), and 29/2 names a weekday only in a leap year.
    RecordingDevice device;
    auto list = appointmentList({makeEntry("1/1", "Capodanno"), makeEntry("29/2", "Bisestile")});
    QVERIFY(printAppointments(*list, QDate(2026, 12, 20), device));
    QVERIFY(findText(device.texts(), QStringLiteral("Giovedì")));
    QVERIFY(!findText(device.texts(), QStringLiteral("Domenica")));

    RecordingDevice leap;
    QVERIFY(printAppointments(*list, QDate(2028, 12, 20), leap));
    QVERIFY(findText(leap.texts(), QStringLiteral("Sabato")));   // 1 January 2028
    QVERIFY(findText(leap.texts(), QStringLiteral("Martedì")));  // 29 February 2028
}

void PrintingTest::emptyTimeAndBadDatePrintNothing() {
    RecordingDevice device;
    auto list = appointmentList({makeEntry("31/4", "Mai esistito", "10:00"),
                                 makeEntry("8/3", "Senza ora"), makeEntry("abc", "Testo")});
    QVERIFY(printAppointments(*list, QDate(2026, 3, 7), device));

    // Line 1: "31/4" has no date this year, so nothing at 15 mm; line 2 has no
    // time, so nothing at 130 mm; line 3 neither.
    auto textsAt = [&](double xMm, double yMm) {
        QStringList out;
        for (const DrawnText& t : device.texts()) {
            if (qAbs(device.mmX(t.baseline.x()) - xMm) < kTolMm &&
                qAbs(device.topMm(t) - yMm) < kTolMm) {
                out << t.text;
            }
        }
        return out;
    };
    QCOMPARE(textsAt(5, 20), QStringList{"31/4"});
    QCOMPARE(textsAt(15, 20), QStringList());
    QCOMPARE(textsAt(130, 20), QStringList{"10:00"});
    QCOMPARE(textsAt(15, 25), QStringList{"Domenica"});
    QCOMPARE(textsAt(35, 25), QStringList{"Senza ora"});
    QCOMPARE(textsAt(130, 25), QStringList());
    QCOMPARE(textsAt(5, 30), QStringList{"abc"});
    QCOMPARE(textsAt(15, 30), QStringList());
    for (const DrawnText& t : device.texts()) QVERIFY(!t.text.isEmpty());
}

void PrintingTest::rowsThatDoNotFitContinueOnANewPage() {
    RecordingDevice device;
    QList<AgendaEntry> entries;
    for (int i = 0; i < 70; ++i) {
        entries << makeEntry(QString::number(i % 28 + 1) + "/5", "Voce " + QString::number(i));
    }
    auto list = appointmentList(entries);
    QVERIFY(printAppointments(*list, QDate(2026, 3, 7), device));
    QCOMPARE(device.pages(), 2);

    // Every message once, in grid order; nothing below the bottom of a page.
    QStringList messages;
    const DrawnText* firstOnPage2 = nullptr;
    double lastTopOnPage1 = 0;
    for (const DrawnText& t : device.texts()) {
        QVERIFY2(device.bottomPx(t) <= device.height(), qPrintable(t.text));
        if (!t.text.startsWith("Voce ")) continue;
        messages << t.text;
        if (t.page == 0) lastTopOnPage1 = device.topMm(t);
        if (t.page == 1 && !firstOnPage2) firstOnPage2 = &t;
    }
    QStringList expected;
    for (int i = 0; i < 70; ++i) expected << "Voce " + QString::number(i);
    QCOMPARE(messages, expected);

    // The new page starts again at 20 mm, with no title, and the page before
    // was filled: one more line would not have fitted.
    QVERIFY(firstOnPage2);
    QVERIFY(qAbs(device.topMm(*firstOnPage2) - 20) < kTolMm);
    QVERIFY(!findText(device.texts().mid(2), QStringLiteral("STAMPA DEL ")));
    QFont regular(QStringLiteral("Arial"));
    regular.setPointSizeF(10);
    const double nextTopPx = (lastTopOnPage1 + 5) * device.logicalDpiY() / 25.4;
    QVERIFY(nextTopPx + QFontMetricsF(regular, &device).height() > device.height());
}

void PrintingTest::pdfGetsOnePagePerPageful() {
    QTemporaryDir dir;
    const QString path = dir.filePath("stampa.pdf");
    QList<AgendaEntry> entries;
    for (int i = 0; i < 120; ++i) entries << makeEntry("1/6", "Voce " + QString::number(i), "8:00");
    auto list = appointmentList(entries);
    {
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QVERIFY(printAppointments(*list, QDate(2026, 3, 7), pdf));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    // A4 holds the lines from 20 mm down to 290 mm: 55 per page, so 120
    // appointments need three pages.
    const auto match = QRegularExpression(R"(/Type\s*/Pages.*?/Count\s+(\d+))",
                                          QRegularExpression::DotMatchesEverythingOption)
                           .match(QString::fromLatin1(bytes));
    QVERIFY(match.hasMatch());
    QCOMPARE(match.captured(1).toInt(), 3);
}

void PrintingTest::tinyPageStillPrintsEveryRowOnce() {
    // A page too short for even the first line must not loop for ever.
    RecordingDevice device(600, QPageSize(QSizeF(100, 12), QPageSize::Millimeter));
    auto list =
        appointmentList({makeEntry("1/2", "A"), makeEntry("2/2", "B"), makeEntry("3/2", "C")});
    QVERIFY(printAppointments(*list, QDate(2026, 3, 7), device));
    QCOMPARE(device.pages(), 3);
    QStringList messages;
    for (const DrawnText& t : device.texts())
        if (t.text.size() == 1) messages << QString::number(t.page) + t.text;
    QCOMPARE(messages, (QStringList{"0A", "1B", "2C"}));
}

void PrintingTest::deviceFailuresAreReported() {
    QList<AgendaEntry> entries;
    for (int i = 0; i < 60; ++i) entries << makeEntry("1/6", "Voce " + QString::number(i));
    auto list = appointmentList(entries);

    RecordingDevice refusesPages;
    refusesPages.newPageSucceeds = false;
    QVERIFY(!printAppointments(*list, QDate(2026, 3, 7), refusesPages));
    QVERIFY(!findText(refusesPages.texts(), QStringLiteral("Voce 59")));

    RecordingDevice cannotBegin;
    cannotBegin.engine().beginSucceeds = false;
    QVERIFY(!printAppointments(*list, QDate(2026, 3, 7), cannotBegin));
    QVERIFY(cannotBegin.texts().isEmpty());
}

QTEST_MAIN(PrintingTest)
#include "printing_test.moc"
