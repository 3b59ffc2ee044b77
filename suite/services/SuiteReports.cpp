#include "SuiteReports.h"

#include "db/ReferenceData.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QGuiApplication>
#include <QHash>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace mrv::suite {

namespace {

QString dateText(const QVariant &value)
{
    QDateTime stamp = value.toDateTime();
    if (!stamp.isValid())
        stamp = QDateTime::fromString(value.toString().replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODate);
    return stamp.toString(QStringLiteral("dd/MM/yyyy"));
}

QString amountText(const QVariant &value)
{
    return QLocale(QLocale::Italian).toString(value.toDouble(), 'f', 2);
}

QString quantityText(const QVariant &value)
{
    return QLocale(QLocale::Italian).toString(value.toDouble(), 'g', 10);
}

QVariantList recordOrFail(db::SuiteConnection &connection, const QString &sql, qint64 key, const QString &what)
{
    const db::QueryResult result = connection.nativeQuery(sql, {key});
    if (result.rows.isEmpty())
        throw Failure(QStringLiteral("No %1 has the key %2").arg(what).arg(key));
    return result.rows.first();
}

ReportContent salesDocument(db::SuiteConnection &connection, const QString &prefix, qint64 key)
{
    const QVariantList document = recordOrFail(
        connection,
        QStringLiteral("SELECT D.DTDES, D.DTNUM, D.DTANN, D.DTDAT, D.DTCON, C.CORAS, C.COIND, C.COCAP, C.COLOC, "
                       "D.DTTOT FROM %1DOC_VEN D LEFT JOIN %1CON_TRO C ON C.CDCON = D.DTCON WHERE D.RECORD_ID = ?")
            .arg(prefix),
        key, QStringLiteral("sales document"));
    ReportContent content;
    content.title = document.at(0).toString();
    content.fields = {
        {QStringLiteral("Numero"), QStringLiteral("%1/%2").arg(document.at(1).toString(), document.at(2).toString())},
        {QStringLiteral("Data"), dateText(document.at(3))},
        {QStringLiteral("Cliente"),
         document.at(5).toString() + QStringLiteral(" (") + document.at(4).toString() + QLatin1Char(')')},
        {QStringLiteral("Indirizzo"),
         QStringLiteral("%1, %2 %3")
             .arg(document.at(6).toString(), document.at(7).toString(), document.at(8).toString())},
        {QStringLiteral("Totale"), amountText(document.at(9))},
    };
    content.columns = {QStringLiteral("Pos."),     QStringLiteral("Articolo"), QStringLiteral("Descrizione"),
                       QStringLiteral("Quantità"), QStringLiteral("Prezzo"),   QStringLiteral("Importo")};
    const db::QueryResult lines = connection.nativeQuery(
        QStringLiteral("SELECT RGPOS, RGART, RGDES, RGQTA, RGPRZ FROM %1DOC_RIG WHERE RGTBL = 'DOC_VEN' AND IDDOC = ? "
                       "ORDER BY RGPOS")
            .arg(prefix),
        {key});
    for (const QVariantList &line : lines.rows)
        content.rows << QStringList{line.at(0).toString(),  line.at(1).toString(),
                                    line.at(2).toString(),  quantityText(line.at(3)),
                                    amountText(line.at(4)), amountText(line.at(3).toDouble() * line.at(4).toDouble())};
    return content;
}

ReportContent customerCard(db::SuiteConnection &connection, const QString &prefix, qint64 key)
{
    const QVariantList customer = recordOrFail(
        connection,
        QStringLiteral(
            "SELECT CDCON, CORAS, COIND, COCAP, COLOC, COPRV, COPIV, CDAGE FROM %1CON_TRO WHERE RECORD_ID = ?")
            .arg(prefix),
        key, QStringLiteral("customer"));
    ReportContent content;
    content.title = customer.at(1).toString();
    content.fields = {
        {QStringLiteral("Codice"), customer.at(0).toString()},
        {QStringLiteral("Indirizzo"), QStringLiteral("%1, %2 %3 (%4)")
                                          .arg(customer.at(2).toString(), customer.at(3).toString(),
                                               customer.at(4).toString(), customer.at(5).toString())},
        {QStringLiteral("Partita IVA"), customer.at(6).toString()},
        {QStringLiteral("Agente"), customer.at(7).toString()},
    };
    content.columns = {QStringLiteral("Documento"), QStringLiteral("Data"), QStringLiteral("Totale")};
    const db::QueryResult documents = connection.nativeQuery(
        QStringLiteral("SELECT DTDES, DTDAT, DTTOT FROM %1DOC_VEN WHERE DTCON = ? ORDER BY DTDAT, RECORD_ID")
            .arg(prefix),
        {customer.at(0)});
    for (const QVariantList &document : documents.rows)
        content.rows << QStringList{document.at(0).toString(), dateText(document.at(1)), amountText(document.at(2))};
    return content;
}

const QHash<QString, SuiteReports::Reader> &readers()
{
    static const QHash<QString, SuiteReports::Reader> byCode = {
        {QStringLiteral("DOC_VEN_STAMPA"), salesDocument},
        {QStringLiteral("CON_TRO_SCHEDA"), customerCard},
    };
    return byCode;
}

QList<qint64> keysOf(const QString &keys)
{
    QList<qint64> result;
    for (const QString &text : keys.split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 key = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw Failure(QStringLiteral("\"%1\" is not a record key").arg(text));
        result << key;
    }
    return result;
}

QTextCharFormat textFormat(qreal points, bool bold = false)
{
    QTextCharFormat format;
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

void addTitle(QTextCursor &cursor, const QString &title, bool newPage)
{
    QTextBlockFormat block;
    block.setBottomMargin(12);
    if (newPage) {
        block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.insertBlock(block);
    } else {
        cursor.setBlockFormat(block);
    }
    cursor.insertText(title, textFormat(16, true));
}

void addFields(QTextCursor &cursor, const QList<QPair<QString, QString>> &fields)
{
    for (const auto &[name, value] : fields) {
        cursor.insertBlock();
        cursor.insertText(name + QStringLiteral(": "), textFormat(10, true));
        cursor.insertText(value, textFormat(10));
    }
}

// The header row is repeated on every page the table runs over.
void addTable(QTextCursor &cursor, const QStringList &columns, const QList<QStringList> &rows)
{
    QTextTableFormat format;
    format.setHeaderRowCount(1);
    format.setCellPadding(3);
    format.setCellSpacing(0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setTopMargin(12);
    QTextTable *table = cursor.insertTable(int(rows.size()) + 1, int(columns.size()), format);
    const auto fillRow = [table](int row, const QStringList &cells, const QTextCharFormat &cellFormat) {
        for (int column = 0; column < cells.size(); ++column)
            table->cellAt(row, column).firstCursorPosition().insertText(cells.at(column), cellFormat);
    };
    fillRow(0, columns, textFormat(10, true));
    for (int row = 0; row < rows.size(); ++row)
        fillRow(row + 1, rows.at(row), textFormat(10));
    cursor.movePosition(QTextCursor::End);
}

void addContent(QTextCursor &cursor, const ReportContent &content, bool newPage)
{
    addTitle(cursor, content.title, newPage);
    addFields(cursor, content.fields);
    addTable(cursor, content.columns, content.rows);
}

// Pages carry the company and the report's caption on top and the page
// number at the bottom, painted around the document's own page.
class PdfPages
{
public:
    PdfPages(QPdfWriter &writer, QPainter &painter) : m_writer(writer), m_painter(painter)
    {
        m_painter.setFont(pageFont());
        m_band = m_painter.fontMetrics().height() * 3;
    }

    QSizeF bodySize() const { return QSizeF(m_writer.width(), m_writer.height() - 2 * m_band); }

    void paint(QTextDocument &document, const QString &company, const QString &caption)
    {
        const int pages = document.pageCount();
        const qreal height = bodySize().height();
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                m_writer.newPage();
            paintBands(company, caption, page + 1, pages);
            m_painter.save();
            m_painter.translate(0, m_band - page * height);
            document.drawContents(&m_painter, QRectF(QPointF(0, page * height), bodySize()));
            m_painter.restore();
        }
    }

private:
    static QFont pageFont()
    {
        QFont font;
        font.setPointSize(9);
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    }

    void paintBands(const QString &company, const QString &caption, int page, int pages)
    {
        const int width = m_writer.width();
        const int lineY = m_band * 2 / 3;
        QFont bold = pageFont();
        bold.setBold(true);
        m_painter.setFont(bold);
        m_painter.drawText(QRect(0, 0, width, lineY), Qt::AlignLeft | Qt::AlignVCenter, company);
        m_painter.setFont(pageFont());
        m_painter.drawText(QRect(0, 0, width, lineY), Qt::AlignRight | Qt::AlignVCenter, caption);
        m_painter.drawLine(0, lineY, width, lineY);
        m_painter.drawText(QRect(0, m_writer.height() - m_band / 2, width, m_band / 2), Qt::AlignCenter,
                           QStringLiteral("Pagina %1 di %2").arg(page).arg(pages));
    }

    QPdfWriter &m_writer;
    QPainter &m_painter;
    int m_band = 0;
};

QString captionOf(const QString &reportCode)
{
    for (const db::ReportDef &report : db::ReferenceData::reports()) {
        if (report.code == reportCode)
            return report.caption;
    }
    return reportCode;
}

} // namespace

SuiteReports::SuiteReports(std::shared_ptr<db::SuiteConnection> connection, QString companyCode)
    : m_connection(std::move(connection)), m_companyCode(std::move(companyCode))
{}

const SuiteReports::Reader &SuiteReports::readerFor(const QString &reportCode, const QString &table) const
{
    const auto reader = readers().constFind(reportCode);
    if (reader == readers().cend())
        throw Failure(QStringLiteral("The report \"%1\" does not exist").arg(reportCode));
    for (const db::ReportDef &report : db::ReferenceData::reports()) {
        if (report.code == reportCode && report.table.compare(table, Qt::CaseInsensitive) != 0)
            throw Failure(QStringLiteral("The report \"%1\" prints %2, not %3").arg(reportCode, report.table, table));
    }
    return *reader;
}

QString SuiteReports::companyName() const
{
    const db::QueryResult result =
        m_connection->nativeQuery(QStringLiteral("SELECT AZRAS FROM SYS_AZI WHERE CDAZI = ?"), {m_companyCode});
    return result.rows.isEmpty() ? m_companyCode : result.rows.first().first().toString();
}

void SuiteReports::print(const QString &reportCode, const QString &table, const QString &keys,
                         const QString &path) const
{
    const Reader &reader = readerFor(reportCode, table);
    // Fonts, and so the layout of the text, need a graphical application
    // (the offscreen platform will do).
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw Failure(QStringLiteral("Reports are printed only by a graphical application"));
    QList<ReportContent> contents;
    for (const qint64 key : keysOf(keys))
        contents << reader(*m_connection, m_companyCode + QLatin1Char('_'), key);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Cannot write the report to %1: %2").arg(path, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(captionOf(reportCode));
        writer.setCreator(QStringLiteral("mrv"));
        writer.setResolution(300);
        QPainter painter(&writer);
        PdfPages pages(writer, painter);
        QTextDocument document;
        QFont unhinted = document.defaultFont();
        unhinted.setHintingPreference(QFont::PreferNoHinting);
        document.setDefaultFont(unhinted);
        document.documentLayout()->setPaintDevice(&writer);
        document.setPageSize(pages.bodySize());
        QTextCursor cursor(&document);
        for (qsizetype i = 0; i < contents.size(); ++i)
            addContent(cursor, contents.at(i), i > 0);
        pages.paint(document, companyName(), captionOf(reportCode));
    }
    if (!file.commit())
        throw Failure(QStringLiteral("Cannot write the report to %1: %2").arg(path, file.errorString()));
}

void SuiteReports::registerSent(const QString &reportCode, const QString &table, const QString &key, qint32 messageKey,
                                const QString &user) const
{
    readerFor(reportCode, table);
    m_connection->nativeQuery(
        QStringLiteral(
            "INSERT INTO SYS_RPS (RSTBL, RSREP, RSKEY, IDMSG, RSUSR, RSAZI, RSDAT) VALUES (?, ?, ?, ?, ?, ?, ?)"),
        {table.toUpper(), reportCode, key, messageKey, user, m_companyCode,
         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
}

} // namespace mrv::suite
