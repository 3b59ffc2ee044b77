#include "RichTextEditor.h"

#include "facade/Guard.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TextService.h"
#include "platform/richtext/RichTextModel.h"

#include <QAction>
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QToolBar>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

namespace mrv::widgets {

namespace {

using richtext::FieldSpan;

const QColor kChipColour(0xdd, 0xdd, 0xdd);

QString translated(const QString &text)
{
    return host::textService().translate(text, QStringLiteral("RichTextEditor > FormatBar"));
}

// The field the position lies strictly inside, if any.
std::optional<FieldSpan> fieldAround(const QTextDocument &document, int position)
{
    for (const FieldSpan &span : richtext::findFields(document)) {
        if (span.position < position && position < span.position + span.length)
            return span;
    }
    return std::nullopt;
}

// Widens the cursor's selection over every field it touches; true when it touches one.
bool widenOverFields(QTextCursor &cursor)
{
    int start = cursor.selectionStart();
    int end = cursor.selectionEnd();
    bool touched = false;
    for (const FieldSpan &span : richtext::findFields(*cursor.document())) {
        if (span.position < end && start < span.position + span.length) {
            start = qMin(start, span.position);
            end = qMax(end, span.position + span.length);
            touched = true;
        }
    }
    const bool forward = cursor.position() >= cursor.anchor();
    cursor.setPosition(forward ? start : end);
    cursor.setPosition(forward ? end : start, QTextCursor::KeepAnchor);
    return touched;
}

std::optional<QTextCursor::MoveOperation> deletionMove(QKeyEvent *event)
{
    if (event->matches(QKeySequence::DeleteStartOfWord))
        return QTextCursor::PreviousWord;
    if (event->matches(QKeySequence::DeleteEndOfWord))
        return QTextCursor::NextWord;
    if (event->key() == Qt::Key_Backspace)
        return QTextCursor::PreviousCharacter;
    if (event->matches(QKeySequence::Delete))
        return QTextCursor::NextCharacter;
    return std::nullopt;
}

int nextFieldId(const QTextDocument &document)
{
    int highest = 0;
    for (const FieldSpan &span : richtext::findFields(document))
        highest = qMax(highest, span.id);
    return highest + 1;
}

} // namespace

FieldTextEdit::FieldTextEdit(QWidget *parent) : QTextEdit(parent)
{
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { keepOutOfFields(); });
    connect(this, &QTextEdit::textChanged, this, [this] { showChips(); });
}

// A cursor landing inside a field moves to the field's end in the direction
// it was going; a selection grows over the fields it cuts.
void FieldTextEdit::keepOutOfFields()
{
    if (m_adjusting)
        return;
    m_adjusting = true;
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        if (widenOverFields(cursor))
            setTextCursor(cursor);
    } else if (const auto span = fieldAround(*document(), cursor.position())) {
        const bool forward = cursor.position() >= m_lastPosition;
        cursor.setPosition(forward ? span->position + span->length : span->position);
        setTextCursor(cursor);
    }
    m_lastPosition = textCursor().position();
    typeOutsideFields();
    m_adjusting = false;
}

// Text typed right after a field would take the field's format, and with
// it the field's identity.
void FieldTextEdit::typeOutsideFields()
{
    QTextCharFormat format = currentCharFormat();
    if (textCursor().hasSelection() || !format.hasProperty(richtext::FieldId))
        return;
    format.clearProperty(richtext::FieldId);
    format.clearProperty(richtext::FieldInstruction);
    setCurrentCharFormat(format);
}

void FieldTextEdit::showChips()
{
    QList<ExtraSelection> chips;
    for (const FieldSpan &span : richtext::findFields(*document())) {
        ExtraSelection chip;
        chip.cursor = QTextCursor(document());
        chip.cursor.setPosition(span.position);
        chip.cursor.setPosition(span.position + span.length, QTextCursor::KeepAnchor);
        chip.format.setBackground(kChipColour);
        chip.format.setToolTip(span.instruction);
        chips << chip;
    }
    setExtraSelections(chips);
}

void FieldTextEdit::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly() && deleteWholeFields(event))
        return;
    QTextEdit::keyPressEvent(event);
}

bool FieldTextEdit::deleteWholeFields(QKeyEvent *event)
{
    const auto move = deletionMove(event);
    QTextCursor cursor = textCursor();
    if (!move || cursor.hasSelection())
        return false;
    cursor.movePosition(*move, QTextCursor::KeepAnchor);
    if (!widenOverFields(cursor))
        return false;
    cursor.removeSelectedText();
    setTextCursor(cursor);
    return true;
}

// Qt's own MIME data lists only the formats it makes itself, so its
// contents are copied into plain MIME data that takes the fields as well.
QMimeData *FieldTextEdit::createMimeDataFromSelection() const
{
    const std::unique_ptr<QMimeData> standard(QTextEdit::createMimeDataFromSelection());
    auto *data = new QMimeData;
    for (const QString &format : standard->formats())
        data->setData(format, standard->data(format));
    const QTextCursor cursor = textCursor();
    QJsonArray fields;
    for (const FieldSpan &span : richtext::findFields(*document())) {
        if (span.position < cursor.selectionStart() || span.position + span.length > cursor.selectionEnd())
            continue;
        QTextCursor text(document());
        text.setPosition(span.position);
        text.setPosition(span.position + span.length, QTextCursor::KeepAnchor);
        fields.append(QJsonObject{{QStringLiteral("offset"), span.position - cursor.selectionStart()},
                                  {QStringLiteral("text"), text.selectedText()},
                                  {QStringLiteral("instruction"), span.instruction}});
    }
    if (!fields.isEmpty())
        data->setData(QLatin1String(kFieldsMimeType), QJsonDocument(fields).toJson(QJsonDocument::Compact));
    return data;
}

bool FieldTextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasFormat(QLatin1String(kFieldsMimeType)) || QTextEdit::canInsertFromMimeData(source);
}

void FieldTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasFormat(QLatin1String(kFieldsMimeType)) || !source->hasHtml()) {
        typeOutsideFields();
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int start = cursor.position();
    cursor.insertFragment(QTextDocumentFragment::fromHtml(source->html(), document()));
    markPastedFields(start, source->data(QLatin1String(kFieldsMimeType)));
    cursor.endEditBlock();
    setTextCursor(cursor);
}

// Marks the pasted copies of the fields again, each with an id of its own.
// A field whose text did not arrive where it was expected stays plain text.
void FieldTextEdit::markPastedFields(int start, const QByteArray &fields)
{
    int id = nextFieldId(*document());
    const QJsonArray list = QJsonDocument::fromJson(fields).array();
    for (const QJsonValue &value : list) {
        const QJsonObject field = value.toObject();
        const QString text = field.value(QStringLiteral("text")).toString();
        const int position = start + field.value(QStringLiteral("offset")).toInt();
        const int end = position + int(text.size());
        if (text.isEmpty() || position < start || end >= document()->characterCount())
            continue;
        QTextCursor cursor(document());
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        if (cursor.selectedText() != text)
            continue;
        QTextCharFormat format;
        format.setProperty(richtext::FieldInstruction, field.value(QStringLiteral("instruction")).toString());
        format.setProperty(richtext::FieldId, id++);
        cursor.mergeCharFormat(format);
    }
}

RichTextEditor::RichTextEditor(QWidget *parent)
    : QWidget(parent), m_edit(new FieldTextEdit(this)), m_bar(new QToolBar(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bar);
    layout->addWidget(m_edit);
    buildBar();
    connect(m_edit, &QTextEdit::currentCharFormatChanged, this, &RichTextEditor::showFormat);
}

void RichTextEditor::setDocument(QTextDocument *document)
{
    m_edit->setDocument(document);
    showFormat(m_edit->currentCharFormat());
}

void RichTextEditor::setHost(std::shared_ptr<host::Records> records, std::shared_ptr<host::Errors> errors)
{
    m_records = std::move(records);
    m_errors = std::move(errors);
}

void RichTextEditor::setReadOnly(bool readOnly)
{
    m_edit->setReadOnly(readOnly);
    m_bar->setEnabled(!readOnly);
}

void RichTextEditor::buildBar()
{
    addStyleActions();
    m_bar->addSeparator();
    m_font = new QFontComboBox(m_bar);
    m_font->setToolTip(translated(QStringLiteral("Carattere")));
    connect(m_font, &QFontComboBox::textActivated, this, [this](const QString &family) {
        QTextCharFormat format;
        format.setFontFamilies({family});
        mergeFormat(format);
    });
    m_bar->addWidget(m_font);
    m_size = new QComboBox(m_bar);
    m_size->setEditable(true);
    m_size->setToolTip(translated(QStringLiteral("Dimensione")));
    for (int size : QFontDatabase::standardSizes())
        m_size->addItem(QString::number(size));
    connect(m_size, &QComboBox::textActivated, this, [this](const QString &text) {
        const double size = text.toDouble();
        if (size <= 0)
            return;
        QTextCharFormat format;
        format.setFontPointSize(size);
        mergeFormat(format);
    });
    m_bar->addWidget(m_size);
    m_bar->addSeparator();
    addColourMenus();
    m_bar->addSeparator();
    addListActions();
    m_bar->addAction(QIcon::fromTheme(QStringLiteral("insert-image")), translated(QStringLiteral("Inserisci immagine")),
                     this, &RichTextEditor::choosePicture);
}

void RichTextEditor::addStyleActions()
{
    struct Style
    {
        const char *caption;
        const char *icon;
        QKeySequence::StandardKey key;
        std::function<void(QTextCharFormat &, bool)> set;
        std::function<bool(const QTextCharFormat &)> isSet;
    };
    const Style styles[] = {
        {"Grassetto", "format-text-bold", QKeySequence::Bold,
         [](QTextCharFormat &f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); },
         [](const QTextCharFormat &f) { return f.fontWeight() >= QFont::Bold; }},
        {"Corsivo", "format-text-italic", QKeySequence::Italic,
         [](QTextCharFormat &f, bool on) { f.setFontItalic(on); },
         [](const QTextCharFormat &f) { return f.fontItalic(); }},
        {"Sottolineato", "format-text-underline", QKeySequence::Underline,
         [](QTextCharFormat &f, bool on) { f.setFontUnderline(on); },
         [](const QTextCharFormat &f) { return f.fontUnderline(); }},
    };
    for (const Style &style : styles) {
        QAction *action = m_bar->addAction(QIcon::fromTheme(QString::fromLatin1(style.icon)),
                                           translated(QString::fromUtf8(style.caption)));
        action->setCheckable(true);
        action->setShortcut(style.key);
        const auto set = style.set;
        connect(action, &QAction::triggered, this, [this, set](bool on) {
            QTextCharFormat format;
            set(format, on);
            mergeFormat(format);
        });
        m_styleActions.append({action, style.isSet});
    }
}

// Colours from a small palette; "Automatico" takes the colour away.
void RichTextEditor::addColourMenus()
{
    const QList<QColor> palette{Qt::black,    Qt::darkGray, Qt::red,       Qt::darkRed, Qt::blue,
                                Qt::darkBlue, Qt::green,    Qt::darkGreen, Qt::yellow,  Qt::darkYellow};
    const auto addMenu = [&](const char *caption, bool background) {
        auto *button = new QToolButton(m_bar);
        button->setText(translated(QString::fromUtf8(caption)));
        button->setPopupMode(QToolButton::InstantPopup);
        auto *menu = new QMenu(button);
        menu->addAction(translated(QStringLiteral("Automatico")), this, [this, background] {
            QTextCharFormat format;
            if (background)
                format.setBackground(Qt::NoBrush);
            else
                format.setForeground(QBrush());
            mergeFormat(format);
        });
        for (const QColor &colour : palette) {
            QPixmap swatch(16, 16);
            swatch.fill(colour);
            menu->addAction(QIcon(swatch), colour.name(), this, [this, background, colour] {
                QTextCharFormat format;
                if (background)
                    format.setBackground(colour);
                else
                    format.setForeground(colour);
                mergeFormat(format);
            });
        }
        button->setMenu(menu);
        m_bar->addWidget(button);
    };
    addMenu("Colore del testo", false);
    addMenu("Colore di sfondo", true);
}

void RichTextEditor::addListActions()
{
    m_bar->addAction(QIcon::fromTheme(QStringLiteral("format-list-unordered")),
                     translated(QStringLiteral("Elenco puntato")), this,
                     [this] { toggleList(QTextListFormat::ListDisc); });
    m_bar->addAction(QIcon::fromTheme(QStringLiteral("format-list-ordered")),
                     translated(QStringLiteral("Elenco numerato")), this,
                     [this] { toggleList(QTextListFormat::ListDecimal); });
}

void RichTextEditor::mergeFormat(const QTextCharFormat &format)
{
    m_edit->mergeCurrentCharFormat(format);
    m_edit->setFocus();
}

// A paragraph already in a list of that style leaves it; any other joins one.
void RichTextEditor::toggleList(int style)
{
    QTextCursor cursor = m_edit->textCursor();
    QTextList *list = cursor.currentList();
    if (list && list->format().style() == style) {
        for (QTextBlock block = m_edit->document()->findBlock(cursor.selectionStart());
             block.isValid() && block.position() <= cursor.selectionEnd(); block = block.next())
            list->remove(block);
        QTextBlockFormat format = cursor.blockFormat();
        format.setIndent(0);
        cursor.setBlockFormat(format);
        return;
    }
    cursor.createList(QTextListFormat::Style(style));
}

void RichTextEditor::choosePicture()
{
    guardedVoid(m_errors.get(), QStringLiteral("RichTextEditor"), "choosePicture", [&] {
        host::Records &records = host::requireRecords(m_records);
        const QString filter = translated(QStringLiteral("Immagini")) +
                               QStringLiteral(" (*.png;*.jpg;*.jpeg;*.gif;*.bmp)|*.png;*.jpg;*.jpeg;*.gif;*.bmp");
        const QString path = records.fileDialog(2, QString(), QString(), filter, QString());
        if (!path.isEmpty())
            insertPicture(path);
    });
}

bool RichTextEditor::insertPicture(const QString &path)
{
    const QImage image(path);
    if (image.isNull()) {
        host::textService().messageBox(QStringLiteral("Il file @1 non contiene un'immagine leggibile."), {path},
                                       host::mbOkOnly | host::mbExclamation, QString());
        return false;
    }
    const QUrl name(QStringLiteral("image-") + QUuid::createUuid().toString(QUuid::WithoutBraces) +
                    QStringLiteral(".png"));
    m_edit->document()->addResource(QTextDocument::ImageResource, name, image);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(image.width());
    format.setHeight(image.height());
    m_edit->textCursor().insertImage(format);
    return true;
}

void RichTextEditor::showFormat(const QTextCharFormat &format)
{
    for (const auto &[action, isSet] : std::as_const(m_styleActions))
        action->setChecked(isSet(format));
    const QFont font = format.font().resolve(m_edit->document()->defaultFont());
    m_font->setCurrentFont(font);
    m_size->setEditText(QString::number(font.pointSizeF()));
}

} // namespace mrv::widgets
