// libFuzzer target: the snooze file reader never fails on any bytes; no
// message it reads keeps a TAB, a line end or a double quote; what it read
// is written as a file that reads back whole and unchanged, and writing that
// again gives the same bytes.
#include <cstdint>
#include <cstdlib>

#include "notify/logic/alarmengine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    bool damaged = false;
    const QList<Alarm> first = parseSnoozes(bytes, &damaged);
    for (const Alarm& alarm : first) {
        if (alarm.kind != AlarmKind::Snoozed || !alarm.at.isValid()) abort();
        for (const QChar c : alarm.message)
            if (c == u'\t' || c == u'\r' || c == u'\n' || c == u'"') abort();
    }
    const QByteArray written = serializeSnoozes(first);
    bool damagedAgain = true;
    const QList<Alarm> second = parseSnoozes(written, &damagedAgain);
    if (damagedAgain) abort();                         // its own file reads as damaged
    if (second != first) abort();                      // a snooze was lost, made up or changed
    if (serializeSnoozes(second) != written) abort();  // writing is not stable
    return 0;
}
