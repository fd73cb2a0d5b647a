#pragma once

#include <QDate>
#include <QString>

#include <functional>

class Agenda;
class QPagedPaintDevice;

// The printer as the print button sees it: how many printers the system has,
// and a way to print pages on the default one (the first one when none is
// the default), with no dialog.
class PrinterAccess {
  public:
    virtual ~PrinterAccess() = default;
    virtual int printerCount() const = 0;
    // Runs draw on the default printer's device and ends the document.
    // Returns false with a reason when the printer could not be used.
    virtual bool print(const std::function<void(QPagedPaintDevice&)>& draw, QString* reason) = 0;
};

// The system's printers through QPrinter.
class SystemPrinterAccess final : public PrinterAccess {
  public:
    int printerCount() const override;
    bool print(const std::function<void(QPagedPaintDevice&)>& draw, QString* reason) override;
};

// The print button: "Nessuna stampante installata" when the system has no
// printer, otherwise printAppointments on the default printer.
void runPrintCommand(Agenda& agenda, PrinterAccess& printer);
