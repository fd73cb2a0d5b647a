// libFuzzer target: the list-file reader never fails on any bytes, and what
// it read survives a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>

#include "core/listrecords.h"

namespace {

QList<AgendaEntry> toEntries(const QList<ListRecord>& records, ListKind kind) {
    QList<AgendaEntry> out;
    for (const ListRecord& r : records) out.append(entryFromRecord(r, kind));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (ListKind kind : kAllListKinds) {
        const auto first = toEntries(parseListRecords(bytes, kind), kind);
        const QByteArray written = serializeList(first, kind);
        const auto second = toEntries(parseListRecords(written, kind), kind);
        if (second.size() != first.size()) abort();  // a record was lost or made up
        for (qsizetype i = 0; i < first.size(); ++i) {
            if (second[i].message != first[i].message || second[i].time != first[i].time) abort();
        }
        if (serializeList(second, kind) != written) abort();  // writing is not stable
    }
    return 0;
}
