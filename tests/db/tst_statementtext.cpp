// Telling from a statement's text whether it is one statement and whether running it again
// changes anything, as every database the layer reaches reads quotes and comments.
#include "db/SqlParts.h"
#include "db/StatementText.h"

#include <QTest>

class TestStatementText : public QObject {
    Q_OBJECT
private slots:
    void classifies_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("single");
        QTest::addColumn<bool>("readsOnly");
        const auto row = [](const char* name, const char* sql, bool single, bool reads) {
            QTest::newRow(name) << QString::fromUtf8(sql) << single << reads;
        };
        row("select", "select * from t", true, true);
        row("lower case after blanks and line breaks", " \r\n\tselect 1", true, true);
        row("trailing semicolons and comments", "select 1;; -- done\r\n/* end */ ;", true, true);
        row("parenthesised", "((select 1) union (select 2))", true, true);
        row("with that reads", "with a as (select 1 as x) select x from a", true, true);
        row("leading comment", "/* why */ -- this\nselect 1", true, true);
        row("for update locks", "select * from t for update", true, true);
        row("for no key update", "select * from t for no key update of t", true, true);
        row("words inside names are names", "select insert_date, \"delete\" from `into`", true,
            true);
        row("semicolon in a string", "select 'a;b' from t", true, true);
        row("semicolon in a name", "select \"a;b\" from `c;d`", true, true);
        row("doubled quotes", "select 'it''s; delete from x' from t", true, true);
        row("backslash path", "select 'C:\\dir\\' as p", true, true);
        // Variables of SQL Server and MySQL; an "@" alone is read past as well.
        row("server variables", "select @@version, @@rowcount", true, true);
        row("user variable", "select @n := 1", true, true);
        row("a lone at sign", "select 1 from t where a = @", true, true);
        row("declared variable then a change", "declare @n int; delete from x where id = @n", false,
            false);

        row("insert returning", "insert into t values (1) returning id", true, false);
        row("with insert", "with n as (insert into t values (1) returning *) select * from n", true,
            false);
        row("with delete", "WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d", true, false);
        row("with update", "with u as (update t set a = 1 returning *) select * from u", true,
            false);
        row("select into", "select * into copy from t", true, false);
        row("call", "call p()", true, false);
        row("exec", "exec p", true, false);
        row("odbc call escape", "{call p}", true, false);
        row("merge", "with s as (select 1) merge into t using s on 1=1", true, false);
        row("values", "values (1)", true, false);

        row("two statements", "select 1; delete from x", false, false);
        row("two selects", "select 1; select 2", false, false);
        row("insert then select", "insert into t values (1); select * from t", false, false);
        row("no blank before the next", "select 1;delete from x", false, false);
        row("comment then statement", "select 1; /* c */ delete from x", false, false);

        // Where databases read quotes and comments differently, any reading that finds a
        // second statement or a change decides.
        row("backslash escape in MySQL", "select 'a\\'; delete from x; -- '", false, false);
        row("escape string in PostgreSQL", "select E'\\''; delete from x; select ''", false, false);
        row("backslash hides a quote elsewhere", "select 'a\\''; delete from x; select '", false,
            false);
        row("nested comment", "select 1 /* a /* b */ ; delete from x */", false, false);
        row("hash comment in MySQL", "select 1 # '\n; delete from x; select '", false, false);
        row("dash without blank in MySQL", "select 1 --'\n; delete from x; select '", false, false);
        row("runs inside /*!", "select 1 /*! ; delete from x */", false, false);
        row("dollar quote in PostgreSQL", "select $$a; b$$ from t", false, false);
        row("dollar quote hides a second statement elsewhere",
            "select $q$ ' $q$; delete from x; select '", false, false);
        row("bracket is a subscript in PostgreSQL", "select a[']'] ; delete from y", false, false);
        row("q quote in Oracle", "select q'[it's]' from dual; delete from x", false, false);
        row("unclosed quote", "select 1; select 'abc", false, false);
        // SQL Server needs no ";" between statements; a number ends where its digits end.
        row("statement after a select without a separator", "SELECT 1 DROP TABLE t", true, false);
        row("truncate after a select", "SELECT * FROM t TRUNCATE TABLE t", true, false);
        row("statement glued to a number", "SELECT 1DELETE FROM t", true, false);
        row("exec after a select", "select * from t exec p", true, false);
        row("character set is no statement",
            "select convert(a using utf8), cast(b as char "
            "character set utf8) from t",
            true, true);
        row("index hint", "select * from t use index (i) where a = 1", true, true);
        row("use after a select", "select 1 use master", true, false);
        row("digits of other scripts", "select ０１, ٣ from t", true, true);
        row("exponent and hex are numbers", "select 1e5, 0x1F, 1.5e-3 from t", true, true);
        // MySQL starts a "--" comment only before an ASCII blank; an input method types U+3000.
        row("ideographic blank after dashes", "SELECT 1 --\u3000x; DELETE FROM t", false, false);
        // PostgreSQL ends a "--" comment at a lone CR.
        row("dash comment ended by a lone CR", "select 1 -- c\r; delete from t", false, false);
        row("a lone CR before a change", "select 1 -- c\rdelete from t", true, false);
        row("update after search set",
            "with recursive r(id) as (select 1) search depth first "
            "by id set key update t set a = 1",
            true, false);
        row("for no key update is a lock", "select * from t for no key update", true, true);
        row("empty", "", true, false);
        row("only a comment", "-- nothing", true, false);
    }
    void classifies() {
        QFETCH(QString, sql);
        QFETCH(bool, single);
        QFETCH(bool, readsOnly);
        QCOMPARE(db::isSingleStatement(sql), single);
        QCOMPARE(db::readsOnly(sql), readsOnly);
    }

    // The statement at the caret ("|" in the text): statements part at a ";" and at an empty
    // line, only where every database reads them outside quotes and comments.
    void statementAtCaret_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("statement");
        const auto row = [](const char* name, const char* text, const char* statement) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(statement);
        };
        row("second", "select 1;|select 2", "select 2");
        row("after the last semicolon", "select 1; |", "select 1");
        row("middle line", "select 1;\nsel|ect 2;\nselect 3", "select 2");
        row("semicolon in a string", "select 'a;b'|, 2; select 3", "select 'a;b', 2");
        row("empty line", "select 1\n \r\nselect| 2", "select 2");
        row("empty line inside a string", "select 'a\n\nb'|", "select 'a\n\nb'");
        row("a backslash some read as an escape", "select 'it\\'s; x' as a; select 2|",
            "select 'it\\'s; x' as a; select 2");
        row("a comment alone runs nothing", "select 1;\n-- note|", "select 1");
        row("caret before the first", "| select 1; select 2", "select 1");
        row("nothing", " |", "");
    }
    void statementAtCaret() {
        QFETCH(QString, text);
        QFETCH(QString, statement);
        const qsizetype caret = text.indexOf(QLatin1Char('|'));
        text.remove(caret, 1);
        const db::StatementSpan span = db::statementAt(text, caret);
        QCOMPARE(text.mid(span.start, span.end - span.start), statement);
    }

    // The parts colouring sets apart, each family reading quotes and comments its own way.
    void partsForColouring_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parts"); // part letter and text of each, in order
        using F = db::SqlFamily;
        const auto row = [](const char* name, F family, const char* text, const char* parts) {
            QTest::newRow(name) << int(family) << QString::fromUtf8(text)
                                << QString::fromUtf8(parts);
        };
        row("each part", F::Postgres, "SELECT 'a''b', \"c\", 1.5e3 -- from\nfrom t",
            "K:SELECT T:'a''b' N:\"c\" 9:1.5e3 C:-- from K:from");
        row("double quotes are texts in MySQL", F::MySql, "select \"a\", `b` # c",
            "K:select T:\"a\" N:`b` C:# c");
        row("a backslash escapes in MySQL only", F::MySql, "select 'a\\'b' from",
            "K:select T:'a\\'b' K:from");
        row("dollar quotes and nested comments", F::Postgres,
            "/* a /* b */ c */ select $x$ it's $x$", "C:/* a /* b */ c */ K:select T:$x$ it's $x$");
        row("brackets", F::Bracketed, "select [a b] from x1", "K:select N:[a b] K:from");
    }
    void partsForColouring() {
        QFETCH(int, family);
        QFETCH(QString, text);
        QFETCH(QString, parts);
        QStringList got;
        for (const db::SqlSpan& s : db::sqlParts(text, db::SqlFamily(family)))
            got << QStringLiteral("%1:%2")
                       .arg(QChar("KTN9C"[int(s.part)]))
                       .arg(text.mid(s.start, s.length));
        QCOMPARE(got.join(QLatin1Char(' ')), parts);
    }

    // The names of a text as completion reads them: words and quoted names without their
    // quotes, none inside texts and comments, each family quoting its own way.
    void namesOfAText_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parts"); // K keyword, Q quoted, … unclosed: the name
        using F = db::SqlFamily;
        const auto row = [](const char* name, F family, const char* text, const char* parts) {
            QTest::newRow(name) << int(family) << QString::fromUtf8(text)
                                << QString::fromUtf8(parts);
        };
        row("words and quoted names", F::Postgres,
            "select \"a\"\"b\".x, 'y z' /* w */ from 顧客 c -- v",
            "K:select Q:a\"b :x K:from :顧客 :c");
        row("brackets", F::Bracketed, "select [a]]b], [c d from", "K:select Q:a]b Q…:c d from");
        row("backquotes; double quotes are texts", F::MySql, "select `a``b`, \"t\" from `u",
            "K:select Q:a`b K:from Q…:u");
        row("an open quote runs to the end", F::Postgres, "select \"Ord", "K:select Q…:Ord");
        row("variables are no names", F::SqlServer, "select @n, t.@@x", "K:select :t");
    }
    void namesOfAText() {
        QFETCH(int, family);
        QFETCH(QString, text);
        QFETCH(QString, parts);
        QStringList got;
        for (const db::SqlName& n : db::sqlNames(text, db::SqlFamily(family)))
            got << QStringLiteral("%1%2%3:%4")
                       .arg(n.keyword ? QStringLiteral("K") : QString(),
                            n.quoted ? QStringLiteral("Q") : QString(),
                            n.closed ? QString() : QStringLiteral("…"), n.name);
        QCOMPARE(got.join(QLatin1Char(' ')), parts);
    }
};

QTEST_GUILESS_MAIN(TestStatementText)
#include "tst_statementtext.moc"
