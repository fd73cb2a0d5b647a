#include "operations/printing.h"

#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPointF>
#include <QString>

#include "core/dates.h"
#include "core/dayname.h"
#include "core/listmodel.h"

namespace {

constexpr double kMmPerInch = 25.4;

constexpr double kTitleX = 5;
constexpr double kTitleY = 10;
constexpr double kFirstRowY = 20;
constexpr double kRowStep = 5;
constexpr double kDateX = 5;
constexpr double kWeekdayX = 15;
constexpr double kMessageX = 35;
constexpr double kTimeX = 130;

// Converts millimetres to the device's pixels. The painter is left unscaled:
// scaling it would scale the font with it, and 10 pt must stay 10 pt.
class MmToDevice {
  public:
    explicit MmToDevice(const QPaintDevice& device)
        : pxPerMmX_(device.logicalDpiX() / kMmPerInch),
          pxPerMmY_(device.logicalDpiY() / kMmPerInch) {}
    double x(double mm) const { return mm * pxPerMmX_; }
    double y(double mm) const { return mm * pxPerMmY_; }

  private:
    double pxPerMmX_;
    double pxPerMmY_;
};

// Prints a text with the top of its line at y, as a printer's current
// position does; QPainter wants the baseline.
void drawAtTop(QPainter& painter, double xPx, double topPx, const QString& text) {
    if (text.isEmpty()) return;
    painter.drawText(QPointF(xPx, topPx + painter.fontMetrics().ascent()), text);
}

QString weekdayOf(const QString& dateText, int year) {
    const auto date = entryDate(dateText, year);
    // A date text that is no day of this year has no weekday: print none.
    return date ? dayName(weekdayNumber(date->dayOfWeek())) : QString();
}

}  // namespace

bool printAppointments(const ListModel& appointments, const QDate& today,
                       QPagedPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) return false;

    QFont regular(QStringLiteral("Arial"));
    regular.setPointSizeF(10);
    QFont bold = regular;
    bold.setBold(true);

    const MmToDevice mm(device);
    painter.setFont(regular);

    const QString title = QStringLiteral("STAMPA DEL ");
    drawAtTop(painter, mm.x(kTitleX), mm.y(kTitleY), title);
    const double dateX = mm.x(kTitleX) + QFontMetricsF(regular, &device).horizontalAdvance(title);
    painter.setFont(bold);
    drawAtTop(painter, dateX, mm.y(kTitleY), today.toString(QStringLiteral("dd/MM/yyyy")));
    painter.setFont(regular);

    const double lineHeight = QFontMetricsF(regular, &device).height();
    const double pageHeight = device.height();
    bool ok = true;
    double rowMm = kFirstRowY;
    bool pageHasRows = false;
    for (int row = 0; row < appointments.entryCount(); ++row) {
        // A row that would run past the bottom goes to a new page; a page too
        // short for even one row still gets its row, so printing always ends.
        if (pageHasRows && mm.y(rowMm) + lineHeight > pageHeight) {
            if (!device.newPage()) {
                ok = false;
                break;
            }
            rowMm = kFirstRowY;
            pageHasRows = false;
        }
        const AgendaEntry& entry = appointments.entry(row);
        const double top = mm.y(rowMm);
        drawAtTop(painter, mm.x(kDateX), top, entry.date);
        drawAtTop(painter, mm.x(kWeekdayX), top, weekdayOf(entry.date, today.year()));
        drawAtTop(painter, mm.x(kMessageX), top, entry.message);
        drawAtTop(painter, mm.x(kTimeX), top, entry.time);
        pageHasRows = true;
        rowMm += kRowStep;
    }
    // Ending the painter ends the document: on a printer this sends the job.
    return painter.end() && ok;
}
