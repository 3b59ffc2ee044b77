#pragma once

#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <memory>

class QFontComboBox;
class QComboBox;
class QToolBar;
class QTextDocument;

namespace mrv::host {
class Errors;
class Records;
} // namespace mrv::host

namespace mrv::widgets {

// The text box of the editor. Fields (runs of result text whose format
// carries a field instruction) are kept whole: they show as grey chips,
// the cursor never stops inside one, deleting into one deletes all of it,
// and text typed next to one never joins it. Copy and paste carry the
// fields in a MIME type of their own beside the HTML.
class FieldTextEdit : public QTextEdit
{
public:
    static constexpr const char *kFieldsMimeType = "application/x-mrv-fields";

    explicit FieldTextEdit(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void keepOutOfFields();
    void typeOutsideFields();
    void showChips();
    bool deleteWholeFields(QKeyEvent *event);
    void markPastedFields(int start, const QByteArray &fields);

    int m_lastPosition = 0;
    bool m_adjusting = false;
};

// A rich-text editor over a document its controller owns, with a
// formatting bar: character styles, font and size, colours, lists and
// pictures (chosen through the host's file dialog, stored in the document).
class RichTextEditor : public QWidget
{
    Q_OBJECT

public:
    explicit RichTextEditor(QWidget *parent = nullptr);

    // The editor does not own the document.
    void setDocument(QTextDocument *document);
    // The host's Records for the picture file dialog, and the Errors its
    // failures are reported to.
    void setHost(std::shared_ptr<host::Records> records, std::shared_ptr<host::Errors> errors);
    void setReadOnly(bool readOnly);

    FieldTextEdit *textEdit() const { return m_edit; }
    QToolBar *formatBar() const { return m_bar; }

    // Inserts the picture at the cursor as an image of the document; false,
    // with the user told, when the file is not a picture.
    bool insertPicture(const QString &path);

private:
    void buildBar();
    void addStyleActions();
    void addColourMenus();
    void addListActions();
    void mergeFormat(const QTextCharFormat &format);
    void toggleList(int style);
    void choosePicture();
    void showFormat(const QTextCharFormat &format);

    FieldTextEdit *m_edit;
    QToolBar *m_bar;
    QFontComboBox *m_font = nullptr;
    QComboBox *m_size = nullptr;
    QList<std::pair<QAction *, std::function<bool(const QTextCharFormat &)>>> m_styleActions;
    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
};

} // namespace mrv::widgets
