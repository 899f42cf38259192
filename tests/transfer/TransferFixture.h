#pragma once

#include "QueryWait.h"
#include "RecordingWindow.h"
#include "TestBackends.h"
#include "db/ConnectionRecord.h"
#include "query/ProgramState.h"
#include "query/modExecuteQuery.h"
#include "transfer/modImport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// One backend's connection, the program state over it, a recording window, a settings file
// and a folder of its own for each test.
struct TransferFixture {
    std::unique_ptr<QTemporaryDir> config = std::make_unique<QTemporaryDir>();
    std::unique_ptr<QTemporaryDir> files = std::make_unique<QTemporaryDir>();
    db::ConnectionRecord record;
    std::unique_ptr<ProgramState> state;
    RecordingWindow window;
    testdb::Kind kind = testdb::Kind::SqliteNative;

    bool open(const QString& backend) {
        qputenv("XDG_CONFIG_HOME", config->path().toUtf8());
        record.adoConnection = std::make_unique<db::Connection>();
        if (!testdb::open(*record.adoConnection, backend)) return false;
        kind = testdb::backend(backend).kind;
        state = std::make_unique<ProgramState>(record);
        return true;
    }
    db::Connection& connection() { return *record.adoConnection; }
    bool exec(const QString& sql) { return testdb::exec(connection(), sql); }
    void dropTable(const QString& name) {
        connection().Execute(QStringLiteral("DROP TABLE IF EXISTS ") + name);
    }
    // Makes the statement the current result, as the query box would.
    bool show(const QString& sql) {
        RecordingWindow quiet;
        return executeQueryAndWait(*state, quiet, sql) && state->resultOpen;
    }
    QString path(const QString& name) const { return files->filePath(name); }
    // The result on screen, as the window hands it to the transfers.
    db::Recordset* result() const { return state->resultOpen ? state->resultSet.get() : nullptr; }
    // The import as the window runs it: the result read again at its end.
    void importFile(WindowFeedback& window, const QString& file, const QString& separator) {
        ImportFile(result(), &connection(), window, file, separator,
                   [&] { rereadResultAndWait(*state, window); });
    }
    void importTextCommand(WindowFeedback& window, const QString& separator) {
        ImportTextCommand(result(), &connection(), window, separator,
                          [&] { rereadResultAndWait(*state, window); });
    }

    // Every cell of a statement's rows as text, "<null>" for Null, cells joined by "|".
    QStringList rows(const QString& sql) {
        db::Recordset rs;
        QStringList out;
        if (!rs.Open(sql, &connection())) {
            QTest::qFail(qPrintable(sql + QStringLiteral(": ") + testdb::describe(rs.Errors())),
                         __FILE__, __LINE__);
            return out;
        }
        for (qint32 r = 0; r < rs.RecordCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < rs.FieldCount(); ++c)
                cells << (rs.isNull(r, c) ? QStringLiteral("<null>") : rs.text(r, c));
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
};

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
