#include "modKorvel.h"

#include "common/BlankText.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString busyPanelText(const QString& message) {
    return kCrLf + (message.isEmpty() ? kPleaseWait : message);
}

QString messagePanelText(const QString& message) {
    QString m = message;
    if (m.endsWith(QLatin1Char('\n')) && !m.endsWith(kCrLf)) m.chop(1);
    if (m.contains(QLatin1String("VB Error"))) return trimBlanks(m);
    return kCrLf + trimBlanks(m);
}

QString databasePanelText(db::ConnectionRecord& c) {
    const auto current = [&] {
        return c.adoConnection ? c.adoConnection->DefaultDatabase() : QString();
    };
    switch (c.kind) {
    case db::ConnectionKind::SqlServer:
        return QStringLiteral("Database: ") + current();
    case db::ConnectionKind::Oracle:
        return QStringLiteral("Database: ") + c.databaseName;
    case db::ConnectionKind::Access:
        return QStringLiteral("Access: ") + c.databaseName;
    case db::ConnectionKind::Odbc:
        break;
    }
    QString text = QStringLiteral("ODBC: ") + c.databaseName;
    const QString database = current();
    if (!database.isEmpty()) text += QStringLiteral("/DB:") + database;
    return text;
}

QString userPanelText(const db::ConnectionRecord& c) {
    return QStringLiteral("ID: ") + c.userId;
}

int waitPictureSlot(int count, double r) {
    return int(count * r + 1) - 1;
}
