#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTest>

namespace mrv::testing {

// A whole RTF document around `body`, as WordPad and the message editor
// write it: code page 1252, Italian language, font 0 (Arial) at 10 points.
// Fonts: 0 Arial, 1 Symbol, 2 Arial CE (charset 238), 3 Times New Roman.
// Colours: 1 red, 2 green, 3 blue.
QByteArray wordPadRtf(const QByteArray &body);

// A paragraph numbered the old way (\pn, as WordPad does) followed by `items`.
QByteArray numbered(const QByteArray &numbering, const QByteArray &items);

// A whole document with Word lists around `items`: \ls1 of two levels,
// numbered then lettered; \ls2 bullets; \ls3 roman from four.
QByteArray wordList(const QByteArray &items);

QByteArray field(const QByteArray &instruction, const QByteArray &result);
QByteArray picture(const QByteArray &words, const QByteArray &data);

// Rows of an (rtf, expected) table: a whole document, or a WordPad one around `body`.
inline void rtfRow(const char *name, const QByteArray &rtf, const QString &expected)
{
    QTest::newRow(name) << rtf << expected;
}
inline void wordPadRow(const char *name, const QByteArray &body, const QString &expected)
{
    rtfRow(name, wordPadRtf(body), expected);
}

// An image of the given size and colour, encoded as "png" or "jpeg".
QByteArray encodedImage(const char *format, int width, int height, const QColor &colour = Qt::red);

// Every byte value, 0 to 255, `repetitions` times over.
QByteArray everyByteValue(int repetitions = 1);

// Writes `content` as folder/name and gives its path; throws Failure when it cannot.
QString writeFile(const QString &folder, const QString &name, const QByteArray &content);

} // namespace mrv::testing
