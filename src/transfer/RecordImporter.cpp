#include "RecordImporter.h"

#include "DelimitedFormat.h"
#include "TransferErrors.h"
#include "TransferTexts.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <algorithm>

RecordImporter::RecordImporter(db::Recordset& target, bool skipFailures)
    : m_target(target), m_skipFailures(skipFailures) {}

RecordImporter::~RecordImporter() = default;

bool RecordImporter::open(const QString& path, const QString& separator, db::Error& error) {
    close();
    m_source = openDelimitedSource(path, separator, error);
    return m_source != nullptr;
}

void RecordImporter::open(std::unique_ptr<RecordSource> source) {
    close();
    m_source = std::move(source);
}

bool RecordImporter::flush(db::Error& error) {
    db::Connection* connection = m_target.ActiveConnection();
    const bool ok = !connection || connection->CommitPendingWrites();
    if (!ok) {
        error = transfer_error::lastOf(connection->Errors());
        const Held* held = heldRow(connection->failedInsert());
        const qint64 refused = held ? held->record : m_recordCount;
        if (!m_failed || refused < m_failedRecord) {
            m_failedRecord = refused;
            if (held) m_failedLine = held->line;
        }
        m_failed = true;
    }
    notePassedOver();
    m_held.clear();
    return ok;
}

QString RecordImporter::refusedNote() const {
    const db::Connection* connection = m_target.ActiveConnection();
    const qint64 count = m_refused + (connection ? connection->passedOverInserts() : 0);
    if (count <= 0) return QString();
    QString note = kRowsRefused.arg(count);
    for (const RefusedRow& r : m_firstRefused)
        note += QStringLiteral("\r\n") + kAtLine.arg(r.line) + r.reason;
    if (count > qint64(m_firstRefused.size())) note += QStringLiteral("\r\n…");
    return note;
}

void RecordImporter::noteRefused(qint64 line, const QString& reason) {
    if (m_firstRefused.size() < db::Connection::kPassedOverNamed)
        m_firstRefused.push_back({line, reason});
}

void RecordImporter::notePassedOver(qint64 insert, qint64 line) {
    const db::Connection* connection = m_target.ActiveConnection();
    if (!connection) return;
    const auto& passed = connection->firstPassedOver();
    // A new bulk scope starts its list anew.
    if (passed.size() < m_passedOverSeen) m_passedOverSeen = 0;
    for (; m_passedOverSeen < passed.size(); ++m_passedOverSeen) {
        const db::Connection::PassedOver& p = passed[m_passedOverSeen];
        const Held* held = heldRow(p.insert);
        noteRefused(held ? held->line : p.insert == insert ? line : 0, p.error.Description);
    }
}

qint64 RecordImporter::counted() const {
    const db::Connection* connection = m_target.ActiveConnection();
    const qint64 passedOver = connection ? connection->passedOverInserts() : 0;
    return (m_failed ? m_failedRecord : m_recordCount) - m_refused - passedOver;
}

const RecordImporter::Held* RecordImporter::heldRow(qint64 insert) const {
    for (const Held& h : m_held)
        if (h.insert == insert) return &h;
    return nullptr;
}

void RecordImporter::close() {
    m_source.reset();
}

RecordImporter::Step RecordImporter::next(db::Error& error) {
    if (!m_source) return End;
    switch (m_source->next(error)) {
    case RecordSource::End:
        return End;
    case RecordSource::ReadFailed:
        m_failedRecord = m_recordCount;
        m_failedLine = m_source->recordLine();
        m_failed = true;
        return Failed;
    case RecordSource::Blank:
        return Blank;
    case RecordSource::Record:
        break;
    }
    const Step step = addRecord(error);
    if (step == Failed) m_failed = true;
    return step;
}

RecordImporter::Step RecordImporter::addRecord(db::Error& error) {
    const qint64 record = m_recordCount++;
    const qint64 line = m_source->recordLine();
    m_failedRecord = record;
    m_failedLine = line;
    // With skipFailures a failure passes, unless the server is gone: then every record
    // after it would fail too, and counting them would report a success.
    const auto failed = [&] {
        error = transfer_error::lastOf(m_target.Errors());
        const db::Connection* c = m_target.ActiveConnection();
        const bool lost = c ? c->endsSession(error) : db::DatabaseDialect().endsSession(error);
        return m_skipFailures && !lost;
    };
    const int columns = m_target.FieldCount();
    int fields = m_source->fieldCount();
    if (fields > columns) {
        error = transfer_error::tooManyFields(line, fields, columns);
        if (!m_skipFailures) return Failed;
        // Passed over: the row keeps the fields that have a column.
        fields = columns;
    }
    if (!m_target.AddNew() && !failed()) return Failed;
    // A separator ends the record: the field after it is nothing, which an export writes for
    // a Null; only a separator beyond the last column adds no field.
    if (m_source->endsWithSeparator() && fields < columns &&
        !m_target.Fields(fields).setValue(db::Value()) && !failed()) {
        m_target.CancelUpdate();
        return Failed;
    }
    for (int k = 0; k < fields; ++k) {
        db::Value value;
        QString refusal;
        if (!m_source->value(k, m_target.column(k).type, value, refusal)) {
            // No column takes it: the row is refused as the database would refuse it.
            m_target.CancelUpdate();
            error = transfer_error::badCell(line, refusal);
            if (!m_skipFailures) return Failed;
            ++m_refused;
            noteRefused(line, kBadCellValue.arg(refusal));
            return Refused;
        }
        if (!m_target.Fields(k).setValue(std::move(value)) && !failed()) {
            m_target.CancelUpdate();
            return Failed;
        }
    }
    db::Connection* connection = m_target.ActiveConnection();
    const qint64 insert = connection ? connection->insertCount() : -1;
    const bool updated = m_target.Update();
    if (connection) {
        if (!updated) {
            // The failure may belong to an earlier row that the connection held.
            const qint64 refused = connection->failedInsert();
            if (refused >= 0 && refused < insert) {
                if (const Held* held = heldRow(refused)) {
                    m_failedRecord = held->record;
                    m_failedLine = held->line;
                }
            }
        }
        // Held rows stored by this insert, itself among them, may have been passed over.
        notePassedOver(insert, line);
        const qint64 firstHeld = connection->firstPendingInsert();
        while (!m_held.empty() && m_held.front().insert < firstHeld)
            m_held.pop_front();
        if (updated && insert >= firstHeld) m_held.push_back({insert, record, line});
    }
    if (updated) return Added;
    if (!failed()) return Failed;
    ++m_refused;
    noteRefused(m_failedLine, error.Description);
    return Refused;
}
