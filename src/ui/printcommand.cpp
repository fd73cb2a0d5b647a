#include "ui/printcommand.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include "core/agenda.h"
#include "core/dialogs.h"
#include "operations/printing.h"

int SystemPrinterAccess::printerCount() const {
    return static_cast<int>(QPrinterInfo::availablePrinters().size());
}

bool SystemPrinterAccess::print(const std::function<void(QPagedPaintDevice&)>& draw,
                                QString* reason) {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        // No default printer: the first one the system lists will do.
        const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
        if (printers.isEmpty()) {
            if (reason) *reason = QStringLiteral("nessuna stampante disponibile");
            return false;
        }
        info = printers.first();
    }

    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid()) {
        if (reason)
            *reason =
                QStringLiteral("la stampante \"%1\" non è utilizzabile").arg(info.printerName());
        return false;
    }
    printer.setDocName(QStringLiteral("Ricordel - Appuntamenti"));
    // The layout is measured from the top-left corner of the printable area,
    // as a printer's own coordinates are: not full-page, with the margins set
    // to the printer's unprintable border, so the painter's origin is the
    // first point the printer can mark.
    printer.setFullPage(false);
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());

    draw(printer);

    if (printer.printerState() == QPrinter::Error) {
        if (reason) {
            *reason = QStringLiteral("la stampante \"%1\" non ha accettato il documento")
                          .arg(info.printerName());
        }
        return false;
    }
    return true;
}

void runPrintCommand(Agenda& agenda, PrinterAccess& printer) {
    if (printer.printerCount() == 0) {
        agenda.dialogs().notice(QStringLiteral("Nessuna stampante installata"),
                                MsgIcon::Information, QString());
        return;
    }

    const QDate today = agenda.clock().today();
    bool drawn = false;
    QString reason;
    const bool printed = printer.print(
        [&](QPagedPaintDevice& device) {
            drawn = printAppointments(agenda.appointments(), today, device);
        },
        &reason);
    if (printed && drawn) return;

    // Telling the user nothing would let them wait for a page that never comes.
    if (reason.isEmpty()) reason = QStringLiteral("la stampante non ha accettato il documento");
    agenda.dialogs().notice(
        QStringLiteral("Stampa degli appuntamenti non riuscita: %1.").arg(reason),
        MsgIcon::Critical, QStringLiteral("STAMPA APPUNTAMENTI"));
}
