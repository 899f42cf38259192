#pragma once

#include "db/SqlParts.h"

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <vector>

// Colours the query box as the statement scanner reads it: keywords, texts, quoted names,
// numbers and comments. Only how the text looks: it holds, copies and runs as typed.
class SqlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SqlHighlighter(QTextDocument* document);
    // The family whose quotes and comments the text is read with.
    void setFamily(db::SqlFamily family);
    db::SqlFamily family() const { return m_family; }

protected:
    void highlightBlock(const QString& text) override;

private:
    // The parts of the whole text, read again after each change of it: a quote or comment
    // opened on one line colours the lines after it.
    const std::vector<db::SqlSpan>& parts();

    db::SqlFamily m_family = db::SqlFamily::Postgres;
    bool m_stale = true;
    std::vector<db::SqlSpan> m_parts;
    QTextCharFormat m_formats[5];
};
