#pragma once

#include <QDateTime>

#include "core/agenda.h"
#include "core/listselection.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

// An agenda over a fresh data folder, on a clock the test sets (7 March
// 2026, 10:00 unless told) with scripted boxes, and where the user is in its
// lists, as a window keeps it.
struct AgendaRig {
    explicit AgendaRig(const QDateTime& now = QDateTime(QDate(2026, 3, 7), QTime(10, 0)))
        : clock(now) {}
    TempFolder folder;
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda{clock, dialogs, folder.path()};
    ListSelection shown{agenda};
};
