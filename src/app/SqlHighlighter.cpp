#include "SqlHighlighter.h"

#include <QTextDocument>
#include <algorithm>

SqlHighlighter::SqlHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(static_cast<QObject*>(document)) {
    // Told of a change before the highlighter reads its lines: connected first.
    connect(document, &QTextDocument::contentsChange, this, [this] { m_stale = true; });
    setDocument(document);
    const auto format = [this](db::SqlPart part, const QColor& colour) -> QTextCharFormat& {
        QTextCharFormat& f = m_formats[int(part)];
        f.setForeground(colour);
        return f;
    };
    format(db::SqlPart::Keyword, QColor(0x00, 0x00, 0xc0)).setFontWeight(QFont::Bold);
    format(db::SqlPart::Text, QColor(0xa3, 0x15, 0x15));
    format(db::SqlPart::Name, QColor(0x7a, 0x3e, 0x9d));
    format(db::SqlPart::Number, QColor(0x09, 0x86, 0x58));
    format(db::SqlPart::Comment, QColor(0x00, 0x80, 0x00)).setFontItalic(true);
}

void SqlHighlighter::setFamily(db::SqlFamily family) {
    if (family == m_family) return;
    m_family = family;
    m_stale = true;
    rehighlight();
}

const std::vector<db::SqlSpan>& SqlHighlighter::parts() {
    if (m_stale) {
        m_parts = db::sqlParts(document()->toPlainText(), m_family);
        m_stale = false;
    }
    return m_parts;
}

void SqlHighlighter::highlightBlock(const QString& text) {
    const qsizetype begin = currentBlock().position();
    const qsizetype end = begin + text.size();
    const std::vector<db::SqlSpan>& all = parts();
    // The first part that reaches into this line.
    auto it =
        std::lower_bound(all.begin(), all.end(), begin, [](const db::SqlSpan& s, qsizetype at) {
            return s.start + s.length <= at;
        });
    int carried = -1;
    for (; it != all.end() && it->start < end; ++it) {
        const qsizetype from = std::max(it->start, begin);
        const qsizetype to = std::min(it->start + it->length, end);
        if (to > from) setFormat(int(from - begin), int(to - from), m_formats[int(it->part)]);
        // A part that goes on past this line: the next line's colours depend on it.
        if (it->start + it->length > end) carried = int(it->start % 0x7fffffff);
    }
    setCurrentBlockState(carried);
}
