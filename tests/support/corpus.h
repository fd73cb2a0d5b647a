#pragma once

#include <QDir>
#include <QFile>
#include <QtTest/QtTest>

// The damaged-file corpus of tests/data/malformed as data rows: one row per
// file, with its path in the column "path".
inline void addMalformedCorpusRows() {
    QTest::addColumn<QString>("path");
    QDir dir(QStringLiteral(RICORDEL_TEST_DATA "/malformed"));
    const auto files = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 30);
    for (const QString& f : files) QTest::newRow(qPrintable(f)) << dir.filePath(f);
}

inline QByteArray readCorpusFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
