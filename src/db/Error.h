#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace db {

struct Error {
    qint32 Number = 0;
    QString Description;
    // Shown to the user; a driver's failure names its SQLSTATE here too, for people to read.
    QString Source;
    // The driver's SQLSTATE, "" for the layer's own failures and for drivers without one.
    QString sqlState = {};
};

using ErrorList = std::vector<Error>;

// Numbers for the layer's own failures; drivers' failures carry the driver's native code.
namespace ErrorNumber {
constexpr qint32 Fail = qint32(0x80004005);
constexpr qint32 ProviderNotFound = qint32(0x800A0E7A);
constexpr qint32 NotOpen = qint32(0x800A0E78);
constexpr qint32 BofOrEof = qint32(0x800A0BCD);
constexpr qint32 ItemNotFound = qint32(0x800A0CC1);
constexpr qint32 RowNotLocated = qint32(0x80040E38);
constexpr qint32 NotUpdatable = qint32(0x800A0CB3);
constexpr qint32 NotAllowed = qint32(0x800A0C93);
constexpr qint32 Timeout = qint32(0x80040E31);
constexpr qint32 Cancelled = qint32(0x80040E4E);
constexpr qint32 StillExecuting = qint32(0x800A0E7F);
// Visual Basic's own number for "Out of memory".
constexpr qint32 OutOfMemory = 7;
} // namespace ErrorNumber

inline Error makeError(qint32 number, const QString& description, const QString& source) {
    return Error{number, description, source};
}

// The layer's own failures that several objects report, each text written once.
namespace errors {
// A database the driver only reads (an Access file through MDBTools).
inline const QString kReadOnlyDatabase = QStringLiteral(
    "このデータベースは読み取り専用です。データの変更、削除、インポートはできません。");
inline Error readOnlyDatabase(const QString& source) {
    return {ErrorNumber::NotUpdatable, kReadOnlyDatabase, source};
}
inline Error objectClosed(const QString& source) {
    return {ErrorNumber::NotOpen,
            QStringLiteral("Operation is not allowed when the object is closed."), source};
}
inline Error noCurrentRecord(const QString& source) {
    return {ErrorNumber::BofOrEof,
            QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                           "Requested operation requires a current record."),
            source};
}
inline Error itemNotFound(const QString& source) {
    return {ErrorNumber::ItemNotFound,
            QStringLiteral(
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal."),
            source};
}
inline Error fieldNotUpdatable(const QString& field, const QString& source) {
    return {ErrorNumber::NotUpdatable, QStringLiteral("Field '%1' cannot be updated.").arg(field),
            source};
}
inline Error providerNotFound() {
    return {ErrorNumber::ProviderNotFound,
            QStringLiteral("Provider cannot be found. It may not be properly installed."),
            QStringLiteral("Tolvan.Connection")};
}
// The connection is lent to a statement that another thread runs.
inline Error stillExecuting(const QString& source) {
    return {ErrorNumber::StillExecuting,
            QStringLiteral("Operation cannot be performed while executing asynchronously."),
            source};
}
inline Error cancelled(const QString& source) {
    return {ErrorNumber::Cancelled, QStringLiteral("Operation cancelled by the user."), source};
}
// A forward-only read whose statement went with its session: the rows after the ones read
// cannot be had, which must not pass for their end.
inline Error sessionLostMidRead(const QString& source) {
    return {ErrorNumber::Fail, QStringLiteral("The connection was lost before every row was read."),
            source + QStringLiteral(" (08S01)"), QStringLiteral("08S01")};
}
// A result larger than the memory the program may take.
inline Error outOfMemory(const QString& source) {
    return {ErrorNumber::OutOfMemory,
            QStringLiteral("メモリが足りないため、結果を読み込めませんでした。"), source};
}
// A text holding the character U+0000, which the database cannot store: refused whole.
inline Error nulNotStored(const QString& source) {
    return {ErrorNumber::Fail,
            QStringLiteral("The value holds a NUL character (U+0000), which the database cannot "
                           "store."),
            source};
}
inline Error fileNotFound(qint32 number, const QString& path, const QString& source) {
    return {number, QStringLiteral("Could not find file '%1'.").arg(path), source};
}
} // namespace errors

} // namespace db
