#pragma once

#include "Error.h"
#include "Field.h"
#include "ReadAhead.h"
#include "ResultData.h"
#include "WriteTarget.h"

#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace db {

class Connection;
class PreparedStatement;
class RowCursor;

// A record set shaped like ADO's with a static client-side cursor: all rows are held in
// compact column storage, RecordCount is exact, and Sort, AddNew/Update, edits and Delete
// work on the rows in memory and in the database alike. Members that ADO has keep ADO's
// names (RecordCount, MoveNext, Fields); the layer's own are named in Qt's style
// (sortByFields, appendRows).
//
// One way to open it: beginOpen, then the statement's rows, then endOpen. Open takes these
// steps on the caller's thread; a caller that runs the statement on a worker (StatementRun)
// takes them itself: beginOpen, showColumns and appendRows as the worker hands the rows over,
// endOpen, all on its own thread, while the worker runs the statement in a StatementWork the
// connection lends it.
class Recordset {
public:
    enum EditModeEnum { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };
    enum CursorTypeEnum { adOpenForwardOnly = 0, adOpenStatic = 3 };

    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs any statement; one without rows gives a record set with no fields.
    // adOpenStatic holds every row. adOpenForwardOnly streams: rows are fetched block by block
    // as the cursor moves and only the current block is held, so any size costs flat memory;
    // countRows then counts the rows with a separate count query (-1 when that fails), and
    // only Fields, Eof, MoveNext, AddNew/Update and Close are allowed. Opening reads the first
    // block; from the first MoveNext on, the next block is read on a worker thread while the
    // current one is used, the connection lent to it until it is needed here again. Opening
    // one for AddNew on a statement without rows ("where 1 = 2") reads nothing.
    // Every record set writes back optimistically (by key, else by all its values) and every
    // text runs as given.
    bool Open(const QString& source, Connection* connection,
              CursorTypeEnum cursorType = adOpenStatic);
    // False when rows added through it were still held and could not be stored (Errors()).
    [[nodiscard]] bool Close();
    bool isOpen() const { return m_open; }

    // The steps of an open whose statement a worker runs (see above). Between showColumns and
    // endOpen the record set is open with the rows handed over so far; only reading them is
    // allowed.
    bool beginOpen(const QString& source, Connection* connection,
                   CursorTypeEnum cursorType = adOpenStatic);
    void showColumns(ResultData&& header);
    // False when the rows do not fit in memory: the open is then to be undone with endOpen.
    [[nodiscard]] bool appendRows(ResultData& block);
    // Completes the open, or undoes it with the failure's errors (nothing stays held).
    bool endOpen(const ErrorList* failure);
    QString Source() const { return m_source; }
    Connection* ActiveConnection() const { return m_connection; }
    // The diagnostics of this record set's last failure (also left on the connection).
    const ErrorList& Errors() const { return m_errors; }

    int FieldCount() const { return int(m_data.columns.size()); }
    // For a statement without rows: the rows it changed as the database counts them (ADO's
    // RecordsAffected), -1 when it changes no rows or the driver cannot tell.
    qint64 RecordsAffected() const { return m_data.recordsAffected; }
    Field Fields(int index) { return Field(this, index); }
    // Index of the field of that name (case-insensitive), -1 when there is none.
    int FieldIndex(const QString& name) const;
    // Out-of-range indexes read as an empty column.
    const ColumnInfo& column(int index) const;

    // EOF is taken by the C library, hence the spelling.
    bool Eof() const { return m_pos >= qint64(m_order.size()); }
    bool Bof() const { return m_pos < 0 || m_order.empty(); }
    // The rows held; for a forward-only record set the count countRows made, -1 before it.
    qint32 RecordCount() const;
    // RecordCount, except that a forward-only record set first counts its rows with a count
    // query of its statement, once.
    qint32 countRows();
    // 0-based position in the current order; RecordCount() at EOF.
    qint32 position() const { return qint32(m_pos); }
    bool setPosition(qint32 row);
    bool MoveFirst();
    bool MoveNext();
    bool MovePrevious();
    bool MoveLast();

    QString Sort() const { return m_sort; }
    // "name asc", "name desc", several separated by commas; "" gives the delivery order.
    // Names are looked up as fields; a name that holds a comma is written in brackets.
    bool setSort(const QString& sort);
    struct SortKey {
        int field;
        bool descending;
        bool operator==(const SortKey&) const = default;
    };
    // The same by field position, for callers that know the column: two fields of one name
    // stay apart. Sort() then names them as the text form would.
    bool sortByFields(const std::vector<SortKey>& keys);
    const std::vector<SortKey>& sortKeys() const { return m_sortKeys; }

    // True when an edit may change the field: the driver names it as one column of the base
    // table. Asks the database nothing, so a view may ask for every cell it paints.
    bool fieldUpdatable(int index) const;

    bool AddNew();
    bool Update();
    void CancelUpdate();
    bool Delete();
    int EditMode() const { return m_editMode; }
    bool Requery();

    // Cells of the current row, in either cursor type; bytes are the stored UTF-8 text or the
    // raw bytes of a binary column.
    bool currentIsNull(int col) const;
    void currentTextInto(int col, QString& out) const;
    std::string_view currentBytes(int col) const;
    CursorTypeEnum cursorType() const { return m_cursorType; }

    // Cells by position in the current order, read on demand.
    QString text(qint32 row, int col) const {
        return m_data.data[size_t(col)].text(m_order[size_t(row)]);
    }
    // A cell of bytes (shown as hex), which the grid does not edit.
    bool isBinary(qint32 row, int col) const {
        return m_data.data[size_t(col)].isBinary(m_order[size_t(row)]);
    }
    // Bytes a text or binary cell holds, 0 for typed cells: its size without reading it.
    size_t storedBytes(qint32 row, int col) const {
        const ColumnData& d = m_data.data[size_t(col)];
        if (d.storage() != Storage::Text && d.storage() != Storage::Blob) return 0;
        return d.isNull(m_order[size_t(row)]) ? 0 : d.bytesAt(m_order[size_t(row)]).size();
    }
    bool isNull(qint32 row, int col) const {
        return m_data.data[size_t(col)].isNull(m_order[size_t(row)]);
    }
    // How a column holds its cells now (a typed column turns to text for a cell it cannot
    // hold), and a cell of an Int column as its number.
    Storage storage(int col) const { return m_data.data[size_t(col)].storage(); }
    IntForm intForm(int col) const { return m_data.data[size_t(col)].intForm(); }
    qint64 intAt(qint32 row, int col) const {
        return m_data.data[size_t(col)].intAt(m_order[size_t(row)]);
    }
    // A cell of a Real column as its number.
    double realAt(qint32 row, int col) const {
        return m_data.data[size_t(col)].realAt(m_order[size_t(row)]);
    }
    // The stored bytes of a text or binary cell (see storedBytes), without a copy.
    std::string_view bytesAt(qint32 row, int col) const {
        return m_data.data[size_t(col)].bytesAt(m_order[size_t(row)]);
    }
    Value value(qint32 row, int col) const {
        return m_data.data[size_t(col)].value(m_order[size_t(row)]);
    }
    void textInto(qint32 row, int col, QString& out) const {
        m_data.data[size_t(col)].textInto(m_order[size_t(row)], out);
    }
    // Writes one cell to the database: an edit of that row and Update.
    bool setValue(qint32 row, int col, const Value& v);
    // Writes cells of one row (column and value) with one edit and one Update; on a failure the
    // row is as it was.
    bool setValues(qint32 row, const std::vector<std::pair<int, Value>>& values);
    // Deletes one row in the database and from the record set.
    bool deleteRow(qint32 row);

    size_t memoryBytes() const;

    // Called by the connection: it is closing, or it is being destroyed, or its session was
    // lost; it has stored or dropped the rows it held.
    void releaseStatements();
    void connectionGone();

private:
    friend class Field;
    Value fieldValue(int index) const;
    bool setFieldValue(int index, Value&& v);

    bool fail(const Error& e);
    bool failWith(const ErrorList& errors);
    bool requireOpen();
    bool ensureWriteTarget();
    bool parseSort(const QString& sort, std::vector<SortKey>& keys);
    void applySort(const std::vector<SortKey>& keys);
    bool updateAdded();
    PreparedStatement* insertStatement();
    bool updateEdited();
    void rereadCurrentRow();
    // Runs an UPDATE or DELETE that must touch exactly one row.
    bool runSingleRowChange(const QString& sql, const std::vector<const ColumnInfo*>& paramCols,
                            const std::vector<Value>& params);
    void whereForCurrentRow(QString& where, std::vector<const ColumnInfo*>& cols,
                            std::vector<Value>& params) const;
    void resetRows();
    bool runSource(ErrorList& errors);
    // runSource, with a result larger than memory as its failure.
    bool readSource(ErrorList& errors);
    bool fetchBlock(ErrorList& errors);
    void startReadAhead();
    // Joins a worker reading ahead and takes the connection back: the block it read is kept
    // for fetchBlock, or, when the rows are no longer wanted, dropped with the statement.
    void stopReadAhead(bool abandon);
    bool requireStatic();

    Connection* m_connection = nullptr;
    QString m_source;
    bool m_open = false;
    CursorTypeEnum m_cursorType = adOpenStatic;
    // The statement being read by a forward-only record set; null once its rows are read.
    std::unique_ptr<RowCursor> m_cursor;
    // Its statement was released (a lost session) before every row was read.
    bool m_cursorLost = false;
    // The next block, read on a worker that holds the statement meanwhile.
    ReadAhead m_ahead;
    // A block read ahead before the connection was needed here: the next one to use.
    std::optional<ReadAhead::Block> m_parked;
    qint32 m_forwardCount = -2; // -2: not counted yet
    int m_blocksRead = 0;
    ResultData m_data;
    PageArray<quint32> m_order; // position -> storage row
    qint64 m_pos = 0;
    QString m_sort;
    std::vector<SortKey> m_sortKeys;
    ErrorList m_errors;

    int m_editMode = adEditNone;
    std::vector<Value> m_buffer;
    std::vector<bool> m_assigned;

    std::unique_ptr<WriteTarget> m_target;
    // fieldUpdatable's answers for the columns shown; empty until asked.
    mutable std::vector<bool> m_updatable;
    // Prepared inserts by the set of fields given, reused for every row added.
    std::map<std::vector<bool>, std::unique_ptr<PreparedStatement>> m_inserts;
    PreparedStatement* m_lastInsert = nullptr; // for the same fields as last time
    std::vector<bool> m_lastInsertFields;
    std::vector<Value> m_params;
};

} // namespace db
