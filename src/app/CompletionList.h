#pragma once

#include <QListWidget>

class QKeyEvent;
class QPlainTextEdit;

// The names offered at the caret of the query box. It is a child of the window that never
// takes the focus: typing goes on in the box while it shows, and the box hands it the keys
// that choose.
class CompletionList : public QListWidget {
    Q_OBJECT
public:
    CompletionList(QPlainTextEdit* box, QWidget* parent);

    // Shows choices under the caret, each to replace the range [start, end) of the box's text.
    void offer(qsizetype start, qsizetype end, const QStringList& choices);
    // Puts a choice in place of the range, and hides the list.
    void accept(const QString& choice);
    // A key the box received while the list shows: true when it chose or moved in the list.
    bool handleKey(const QKeyEvent* event);

private:
    QPlainTextEdit* m_box;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
};
