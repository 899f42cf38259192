// The query box's colouring as a user types: a text of 10,000 lines in the plain-text box with
// the window's highlighter, then keys typed one by one in its middle, and a comment opened
// and closed there (which colours every line after it anew). Prints, in milliseconds, how
// long a key takes to be handled, painting included: the median and the longest; and how long
// completion takes to read the whole text for the names at the caret, as it does after each
// key while its list shows.
//   QT_QPA_PLATFORM=offscreen tolvan-highlightbench [lines]
#include "app/SqlHighlighter.h"
#include "db/ColumnCatalog.h"
#include "query/SqlCompletion.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double typeKey(QApplication& app, QWidget* box, Qt::Key key, const QString& text) {
    QElapsedTimer timer;
    timer.start();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &release);
    app.processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    QPlainTextEdit box;
    SqlHighlighter highlighter(box.document());
    box.resize(900, 700);
    box.show();
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("select id, name, 'it''s; %1' as \"q%1\" from t where n = %1 "
                               "-- line %1\n")
                    .arg(i);
    QElapsedTimer load;
    load.start();
    box.setPlainText(text);
    app.processEvents();
    const double loaded = double(load.nsecsElapsed()) / 1e6;
    QTextCursor c = box.textCursor();
    c.setPosition(int(text.size() / 2));
    box.setTextCursor(c);
    std::vector<double> keys;
    for (int i = 0; i < 200; ++i)
        keys.push_back(typeKey(app, &box, Qt::Key_A, QStringLiteral("a")));
    std::sort(keys.begin(), keys.end());
    // "/*" colours the rest as a comment, Backspace takes it back.
    const double open = typeKey(app, &box, Qt::Key_Slash, QStringLiteral("/")) +
                        typeKey(app, &box, Qt::Key_Asterisk, QStringLiteral("*"));
    const double close = typeKey(app, &box, Qt::Key_Backspace, QString());
    db::ConnectionRecord none;
    db::ColumnCatalog catalog(nullptr);
    const std::vector<ListedTable> tables = {
        {{QStringLiteral("t"), QStringLiteral("TABLE")}, QStringLiteral("t")}};
    QElapsedTimer completing;
    completing.start();
    const Completion offer = completeAt(box.toPlainText(), box.textCursor().position(),
                                        db::SqlFamily::Postgres, tables, catalog, none);
    const double complete = double(completing.nsecsElapsed()) / 1e6;
    std::printf("lines=%d load_ms=%.1f key_median_ms=%.2f key_max_ms=%.2f "
                "comment_open_ms=%.1f comment_close_ms=%.1f complete_ms=%.1f (%lld names)\n",
                lines, loaded, keys[keys.size() / 2], keys.back(), open, close, complete,
                static_cast<long long>(offer.choices.size() + offer.unread.size()));
    return 0;
}
