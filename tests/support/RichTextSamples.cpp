#include "RichTextSamples.h"

#include "host/Failure.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

namespace mrv::testing {

QByteArray wordPadRtf(const QByteArray &body)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040"
           "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fnil\\fcharset2 Symbol;}"
           "{\\f2\\fswiss\\fcharset238{\\*\\panose 020b0604020202020204}Arial CE;}"
           "{\\f3\\froman\\fprq2\\fcharset0 Times New Roman;}}\r\n"
           "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;}\r\n"
           "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\lang1040\\f0\\fs20 " +
           body + "\\par\r\n}\r\n";
}

QByteArray numbered(const QByteArray &numbering, const QByteArray &items)
{
    return "{\\*\\pn\\pnlvlbody\\pnindent0" + numbering + "{\\pntxta.}}\\fi-720\\li720 " + items;
}

QByteArray wordList(const QByteArray &items)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
           "{\\*\\listtable{\\list{\\listlevel\\levelnfc0}{\\listlevel\\levelnfc4}\\listid7}"
           "{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\u-3913 ?;}}\\listid8}"
           "{\\list{\\listlevel\\levelnfc1\\levelstartat4}\\listid9}}{\\*\\listoverridetable"
           "{\\listoverride\\listid7\\ls1}{\\listoverride\\listid8\\ls2}{\\listoverride\\listid9\\ls3}}"
           "\\pard\\f0\\fs20 " +
           items + "}";
}

QByteArray field(const QByteArray &instruction, const QByteArray &result)
{
    return "{\\field{\\*\\fldinst " + instruction + "}{\\fldrslt " + result + "}}";
}

QByteArray picture(const QByteArray &words, const QByteArray &data)
{
    return "{\\pict" + words + " " + data.toHex() + "}";
}

QByteArray encodedImage(const char *format, int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray everyByteValue(int repetitions)
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes.repeated(repetitions);
}

QString writeFile(const QString &folder, const QString &name, const QByteArray &content)
{
    QFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw Failure("Cannot write " + file.fileName());
    return file.fileName();
}

} // namespace mrv::testing
