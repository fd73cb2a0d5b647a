// libFuzzer target: the settings reader never fails on any bytes, and the
// settings it read are written and read back unchanged.
#include <cstdint>
#include <cstdlib>

#include "core/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Settings first;
    parseSettings(bytes, first);
    const QByteArray written = serializeSettings(first);
    Settings second;
    parseSettings(written, second);
    if (!(second == first)) abort();
    // Whatever was read, the file written has one line per record, as many
    // as a file of the default settings.
    static const qsizetype kRecords = serializeSettings(Settings()).count("\r\n");
    if (written.count("\r\n") != kRecords) abort();
    return 0;
}
