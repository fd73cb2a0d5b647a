#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252 text, the encoding of every file the program keeps. Our own
// table, so the files read and write the same wherever Qt runs (not every Qt
// build has an ICU converter for this code page).
namespace win1252 {

// Every byte maps to one character; the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of
// the same number, so they survive a read and a write unchanged.
QString decode(const QByteArray& bytes);
QString decode(const char* data, qsizetype size);

// Characters the code page cannot hold are written as '?'.
QByteArray encode(const QString& text);

// True when the character can be written as one byte of the code page.
bool isEncodable(QChar ch);

// The byte that stands for the character, or -1 when the code page has none.
int toByte(QChar ch);

// The character that the single byte stands for.
QChar charFromByte(unsigned char byte);

}  // namespace win1252
