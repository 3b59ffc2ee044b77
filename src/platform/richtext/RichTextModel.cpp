#include "platform/richtext/RichTextModel.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>

namespace mrv::richtext {

namespace {

void extendSpan(FieldSpan &span, const QTextFragment &fragment)
{
    span.length = fragment.position() + fragment.length() - span.position;
}

} // namespace

int listStart(const QTextListFormat &format)
{
    return format.hasProperty(ListStart) ? format.intProperty(ListStart) : 1;
}

QString firstFontFamily(const QTextCharFormat &format)
{
    const QStringList families = format.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

QList<FieldSpan> findFields(const QTextDocument &document)
{
    QList<FieldSpan> spans;
    QHash<int, qsizetype> indexById;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int id = fragment.charFormat().intProperty(FieldId);
            if (id == 0)
                continue;
            const auto known = indexById.constFind(id);
            if (known != indexById.constEnd()) {
                extendSpan(spans[*known], fragment);
                continue;
            }
            indexById.insert(id, spans.size());
            spans.append(
                {id, fragment.charFormat().stringProperty(FieldInstruction), fragment.position(), fragment.length()});
        }
    }
    return spans;
}

} // namespace mrv::richtext
