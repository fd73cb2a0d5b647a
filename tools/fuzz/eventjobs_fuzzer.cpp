// libFuzzer target: the event codec's task input and output are trusted by
// nothing, and neither is a server's object. Any bytes decode to jobs or
// results within their bounds, which survive encoding and decoding
// unchanged, or to nothing; read as a calendar object, they give a reading
// whose entry the lists can hold and that the task's output carries intact.
#include <cstdint>
#include <cstdlib>

#include "operations/sync/eventcodec.h"

namespace {

const EventContext kContext{QDate(2026, 3, 7), QDateTime(QDate(2026, 3, 7), QTime(9, 0), Qt::UTC),
                            QStringLiteral("Europe/Rome")};

bool sameJobs(const QList<EventJob>& a, const QList<EventJob>& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].ics != b[i].ics || !(a[i].entry == b[i].entry))
            return false;
    return true;
}

void checkEntry(const ImportedEntry& e, bool dated) {
    if (e.message.size() > kMaxImportedText || e.time.size() > kMaxImportedText) abort();
    if (e.kind != ListKind::Appointments && !e.time.isEmpty()) abort();
    if (dated && !QDate(2024, e.month, e.day).isValid()) abort();
}

// How many results bytes that look like results claim to hold.
qsizetype claimedCount(const QByteArray& bytes) {
    const QByteArray magic = QByteArrayLiteral("ricordel-event-results 1\n");
    if (!bytes.startsWith(magic) || bytes.size() < magic.size() + 4) return 0;
    quint32 n = 0;
    for (qsizetype i = magic.size(); i < magic.size() + 4; ++i)
        n = (n << 8) | static_cast<unsigned char>(bytes[i]);
    return n > 10000 ? 10000 : static_cast<qsizetype>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    if (const auto jobs = decodeEventJobs(bytes)) {
        for (const EventJob& job : jobs->first)
            checkEntry(job.entry, job.kind == EventJob::Kind::Patch);
        const auto again = decodeEventJobs(encodeEventJobs(jobs->first, jobs->second));
        if (!again || !sameJobs(again->first, jobs->first) ||
            again->second.today != jobs->second.today ||
            again->second.stampUtc != jobs->second.stampUtc ||
            again->second.zoneId != jobs->second.zoneId)
            abort();  // the encoding loses or changes something
    }

    const qsizetype count = claimedCount(bytes);
    if (const auto results = decodeEventResults(bytes, count)) {
        for (const EventJobResult& r : *results)
            checkEntry(r.reading.entry, r.reading.status == ServerEventReading::Status::Shown);
        if (decodeEventResults(encodeEventResults(*results), count) != results) abort();
    }

    const ServerEventReading reading = readServerEvent(bytes, kContext);
    checkEntry(reading.entry, reading.status == ServerEventReading::Status::Shown);
    const QList<EventJobResult> one = {{reading, std::nullopt}};
    if (decodeEventResults(encodeEventResults(one), 1) != one) abort();
    return 0;
}
