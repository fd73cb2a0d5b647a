#pragma once

#include <functional>
#include <memory>

#include "operations/operations.h"
#include "support/fakeclock.h"
#include "support/fakeplayer.h"
#include "support/faketray.h"
#include "support/scripteddialogs.h"
#include "support/scriptedpresenter.h"
#include "ui/form1.h"
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

// What a main window takes from the desktop, all of it fake: a fixed clock,
// scripted boxes, a digest without windows and a player that only logs.
struct FakeDesktop {
    FakeClock clock;
    ScriptedDialogs dialogs;
    NoViewer viewer;
    NoPrinter printer;
    FakeTray tray;
    ScriptedPresenter presenter;
    std::shared_ptr<PlayerLog> sounds = std::make_shared<PlayerLog>();

    Form1Services services(FileDialogs* files) {
        return Form1Services{&clock, &dialogs,  files, &viewer, &printer, FakePlayerFactory(sounds),
                             &tray,  &presenter};
    }
};
