#ifndef UI_ARTICLE_RENDER_H
#define UI_ARTICLE_RENDER_H

#include <optional>

#include <QString>
#include <QTextCharFormat>
#include <QTextDocument>

#include "storage/Article_markup.h"

class QTextCursor;

// A document that never fetches what its text names: every resource (a picture, a style sheet)
// is asked of it in vain, so a dictionary cannot make the pane open a file or a connection.
class TArticleDocument : public QTextDocument
{
    Q_OBJECT

public:
    using QTextDocument::QTextDocument;

    // How often something was asked for; for the tests.
    int ResourceRequests() const { return resourceRequests; }

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    int resourceRequests = 0;
};

// Inserts an article at cursor: the headword bold, a space, then the article in base's format.
// Its first paragraph follows the headword on the same line, each further one is a block of its
// own; a line break inside a paragraph is U+2028, so that the pane's text, counted in
// characters, is headword + " " + DocumentText(document). With no headword, the article alone.
void InsertArticle(QTextCursor &cursor, const QString &headword, const ArticleDocument &document,
    const QTextCharFormat &base);

// The anchor of a link to word, and the word a clicked anchor names (none for other anchors).
QString WordLinkHref(const QString &word);
std::optional<QString> WordOfLink(const QString &href);

#endif // UI_ARTICLE_RENDER_H
