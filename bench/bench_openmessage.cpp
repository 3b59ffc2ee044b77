// Opens stored messages in the message window, the way the host does it
// (mrvMessage::OpenRecord, then the window shown and painted, offscreen), and
// prints the median and 95th percentile over 200 messages of the demo suite
// beside the time of reading the same row and its body alone; then the time
// to open one message with a 5 MB body and one with 1,000 pictures, each
// against its one-second target.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "ReceivedMessages.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "facade/mrvMessage.h"
#include "host/HostServices.h"
#include "host/RichTextStore.h"
#include "messages/MessageStore.h"
#include "messages/ui/MessageWindow.h"
#include "services/SuiteSession.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <algorithm>

using namespace mrv;
using namespace mrv::suite;

namespace {

const int kMessages = 200;
const double kTarget = 0.1;
const double kLargeTarget = 1.0;
// The machine is shared: the large messages are opened a few times and the
// best run is the figure least disturbed.
const int kRuns = 3;

const char *kLines[] = {
    "grazie per la risposta di ieri, ti mando i dati che mancavano.",
    "il cliente chiede la consegna entro la fine del mese, se possibile in due lotti.",
    "ho aggiornato il listino con i prezzi nuovi: controlla le righe evidenziate.",
    "la riunione di reparto \\'e8 spostata a gioved\\'ec alle 10, in sala grande.",
    "allego l'offerta firmata e la scheda tecnica del prodotto.",
};

QString rtf(const QString &content)
{
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                          "{\\colortbl ;\\red0\\green0\\blue128;}\\viewkind4\\uc1\\pard\\f0\\fs20 ") +
           content + QLatin1Char('}');
}

// A letter of a few paragraphs, some words bold, 1 to 3 KB.
QString letter(int number)
{
    QString content = QStringLiteral("Buongiorno,\\par\\par ");
    for (int line = 0; line < 8 + number % 24; ++line)
        content += QString::fromLatin1(kLines[(number + line) % 5]) +
                   (line % 3 == 0 ? QStringLiteral(" \\b Importante.\\b0 ") : QString()) + QStringLiteral("\\par ");
    return rtf(content + QStringLiteral("\\par\\cf1 Giuseppe Verdi\\cf0\\par"));
}

QString largeLetter(qsizetype bytes)
{
    QString content;
    for (int line = 0; content.size() < bytes; ++line)
        content += QStringLiteral("%1. ").arg(line) + QString::fromLatin1(kLines[line % 5]) + QStringLiteral("\\par ");
    return rtf(content);
}

QString pictures(int count)
{
    QImage image(48, 32, QImage::Format_RGB32);
    QString content;
    for (int picture = 0; picture < count; ++picture) {
        image.fill(QColor::fromHsv(picture * 7 % 360, 160, 220));
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        content += QStringLiteral("Figura %1: {\\pict\\pngblip\\picw48\\pich32 %2}\\par ")
                       .arg(picture)
                       .arg(QString::fromLatin1(png.data().toHex()));
    }
    return rtf(content);
}

class Bench
{
public:
    Bench() : m_session(m_suite.session()), m_store(*m_session.connection(), m_session.config().get()) {}

    qint32 add(const QString &subject, const QString &body, qint32 type = mstMessage)
    {
        MessageCopy copy = testing::receivedByRossi(type);
        copy.to = QStringLiteral("Mario Rossi <ROSSI>; Ufficio vendite <VENDITE>");
        copy.subject = subject;
        copy.body = body;
        copy.notified = 0;
        return m_store.insert(copy);
    }

    void attach(qint32 message, const QString &path)
    {
        m_session.records()->addAttachment(QStringLiteral("SYS_MSG"), QString::number(message), path);
    }

    // From the host's call to a window shown and painted; the window is
    // closed afterwards, outside the time.
    Timing open(qint32 id)
    {
        const Timing timing = bestOf(1, [&] {
            m_session.message()->OpenRecord(nullptr, QStringLiteral("SYS_MSG"), QString::number(id), false, false,
                                            false, nullptr);
            dynamic_cast<ui::MessageWindow &>(*WindowRegistry::instance().windows().last()).widget()->show();
            QApplication::processEvents();
        });
        while (WindowRegistry::instance().count() > 0)
            WindowRegistry::instance().remove(WindowRegistry::instance().windows().first());
        QApplication::processEvents();
        return timing;
    }

    // What the window cannot do without: the row and its body.
    Timing read(qint32 id)
    {
        return bestOf(1, [&] {
            m_store.read(id);
            host::richTextStore().load(QStringLiteral("MSTXT"), QStringLiteral("SYS_MSG"), QStringLiteral("RECORD_ID"),
                                       id, 2, 5);
        });
    }

    Timing bestOpen(qint32 id)
    {
        Timing best = open(id);
        for (int run = 1; run < kRuns; ++run) {
            const Timing timing = open(id);
            if (timing.wall < best.wall)
                best = timing;
        }
        return best;
    }

private:
    testing::DemoSuite m_suite;
    SuiteSession &m_session;
    MessageStore m_store;
};

struct Spread
{
    double median = 0;
    double p95 = 0;
};

Spread spreadOf(QList<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    return {seconds.at(seconds.size() / 2), seconds.at(qsizetype(seconds.size() * 0.95 + 0.5) - 1)};
}

QString ms(double seconds)
{
    return QStringLiteral("%1 ms").arg(seconds * 1000, 0, 'f', 1);
}

const char *verdict(double seconds, double target)
{
    return seconds < target ? "met" : "MISSED";
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir files;
    Bench bench;

    const QString file = files.filePath(QStringLiteral("offerta.pdf"));
    QFile pdf(file);
    pdf.open(QIODevice::WriteOnly);
    pdf.write(QByteArray(40000, 'x'));
    pdf.close();
    QList<qint32> ids;
    for (int number = 0; number < kMessages; ++number) {
        const qint32 id = bench.add(QStringLiteral("Ordine %1 del cliente").arg(1000 + number), letter(number),
                                    number % 5 == 4 ? mstTask : mstMessage);
        if (number % 4 == 0)
            bench.attach(id, file);
        ids << id;
    }
    QList<double> opening, reading;
    for (qint32 id : std::as_const(ids)) {
        opening << bench.open(id).wall;
        reading << bench.read(id).wall;
    }
    const Spread window = spreadOf(opening);
    const Spread row = spreadOf(reading);

    const Timing large = bench.bestOpen(bench.add(QStringLiteral("Catalogo"), largeLetter(5 * 1024 * 1024)));
    const Timing pictured = bench.bestOpen(bench.add(QStringLiteral("Fotografie"), pictures(1000)));

    out << "messages opened: " << kMessages << " (one in five a task, one in four with an attachment)\n"
        << "open in the window, median " << ms(window.median) << ", 95th percentile " << ms(window.p95) << '\n'
        << "reference, the row and its body read alone: median " << ms(row.median) << ", 95th percentile "
        << ms(row.p95) << '\n'
        << "target: median under " << ms(kTarget) << " -> " << verdict(window.median, kTarget) << '\n'
        << "5 MB body, best of " << kRuns << ": " << shown(large) << " -> " << verdict(large.wall, kLargeTarget)
        << " (target under 1 s)\n"
        << "1,000 pictures, best of " << kRuns << ": " << shown(pictured) << " -> "
        << verdict(pictured.wall, kLargeTarget) << " (target under 1 s)\n";
    return 0;
}
