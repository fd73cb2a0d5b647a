#pragma once

#include "notify/logic/digest.h"

class Agenda;
class Clock;
class ReminderPresenter;

// The reminder digest: what falls due from today up to daysOfNotice days
// ahead, read from the list files and put in front of the user one line at a
// time, list by list, each with its list's sound.
class DigestRunner {
  public:
    DigestRunner(const Agenda& agenda, const Clock& clock, ReminderPresenter& presenter);

    // Returns when every list has been shown or stopped. A call while a
    // digest is already being shown does nothing.
    void run();
    bool isRunning() const { return running_; }
    // The program ends: a digest under way, or started from now on, shows
    // no further line.
    void cancel() { cancelled_ = true; }
    // The lines the last digest gathered.
    const ReminderLists& lastReminders() const { return lastReminders_; }

  private:
    const Agenda& agenda_;
    const Clock& clock_;
    ReminderPresenter& presenter_;
    ReminderLists lastReminders_;
    bool running_ = false;
    bool cancelled_ = false;
};
