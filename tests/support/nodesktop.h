#pragma once

#include <functional>

#include "operations/operations.h"
#include "ui/printcommand.h"

// An archive viewer that opens nothing and a desktop without printers, for
// window tests that never use them.
class NoViewer final : public ArchiveViewer {
  public:
    bool Open(const QString&, const QString&) override { return false; }
};

class NoPrinter final : public PrinterAccess {
  public:
    int PrinterCount() const override { return 0; }
    bool Print(const std::function<void(QPagedPaintDevice&)>&, QString*) override { return false; }
};
