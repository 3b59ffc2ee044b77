#pragma once

#include <QTextBrowser>

namespace mrv::widgets {

// Shows the HTML of an e-mail or a notification without reaching outside:
// pictures and style sheets load only from data: URLs and from the folder
// of the shown file (or the folder given with the HTML), so remote images
// and tracking pixels stay blank. Links are not followed: a click is
// reported, and the controller decides (a "table|key" link opens a record).
// QTextBrowser runs no scripts.
class HtmlView : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HtmlView(QWidget *parent = nullptr);

    // `folder`: where relative and file: resources may come from; none when empty.
    void showHtml(const QString &html, const QString &folder = QString());
    // False when the file cannot be read; the view is then empty.
    bool showFile(const QString &path);

    QVariant loadResource(int type, const QUrl &name) override;

Q_SIGNALS:
    void linkClicked(const QUrl &url);

private:
    QString localPath(const QUrl &name) const;

    QString m_folder;
};

} // namespace mrv::widgets
