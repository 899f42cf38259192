#include "PgDataSource.h"

#include "db/odbc/OdbcDataSources.h"

#include <QStringList>
#include <libpq-fe.h>
#include <memory>

namespace db {

namespace {
// psqlODBC's keys with a libpq parameter of the same meaning.
struct MappedKey {
    const char* key;
    const char* param;
};
const MappedKey kMapped[] = {
    {"servername", "host"},
    {"server", "host"},
    {"port", "port"},
    {"database", "dbname"},
    {"username", "user"},
    {"uid", "user"},
    {"user", "user"},
    {"password", "password"},
    {"pwd", "password"},
    {"sslmode", "sslmode"},
    {"keepalivetime", "keepalives_idle"},
    {"keepaliveinterval", "keepalives_interval"},
};

// Keys that only shape how the ODBC driver hands values to an ODBC caller (or that the driver
// manager reads): the native reading has its own ways for all of them.
const char* const kOdbcOnly[] = {
    "driver",
    "description",
    "setup",
    "trace",
    "tracefile",
    "fileusage",
    "dontdlclose",
    "threading",
    "usedeclarefetch",
    "fetch",
    "commlog",
    "debug",
    "textaslongvarchar",
    "unknownsaslongvarchar",
    "boolsaschar",
    "maxvarcharsize",
    "maxlongvarcharsize",
    "unknownsizes",
    "showoidcolumn",
    "fakeoidindex",
    "rowversioning",
    "showsystemtables",
    "updatablecursors",
    "lfconversion",
    "trueisminus1",
    "byteaaslongvarbinary",
    "useserversideprepare",
    "lowercaseidentifier",
    "protocol",
    "cancelasfreestmt",
    "extrasystableprefixes",
    "parse",
    "optimizer",
    "ksqo",
    "disallowpremature",
    "bi",
    "numeric_as",
    "optionalerrors",
    "batchsize",
    "ignoretimeout",
    "fetchrefcursors",
    "xaopt",
};

const char* mappedParam(const QString& key) {
    for (const MappedKey& m : kMapped)
        if (key == QLatin1String(m.key)) return m.param;
    return nullptr;
}

// pqopt holds libpq's own "keyword=value" text; libpq reads it.
bool addPqopt(const QString& text, PgConnectParams& out, QString& reason) {
    char* failure = nullptr;
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(
        PQconninfoParse(bytes.constData(), &failure), &PQconninfoFree);
    if (!options) {
        reason = QStringLiteral("データ ソースの pqopt を libpq が読めません: %1")
                     .arg(failure ? QString::fromUtf8(failure).trimmed() : QString());
        PQfreemem(failure);
        return false;
    }
    for (const PQconninfoOption* o = options.get(); o->keyword; ++o)
        if (o->val) out.params.push_back({QByteArray(o->keyword), QByteArray(o->val)});
    return true;
}
} // namespace

bool pgParamsFromDataSource(const std::vector<std::pair<QString, QString>>& entry,
                            const LoginParams& login, PgConnectParams& out, QString& reason) {
    out = {};
    QString pqopt;
    for (const auto& [rawKey, value] : entry) {
        const QString key = rawKey.trimmed().toLower();
        if (const char* param = mappedParam(key)) {
            if (!value.isEmpty()) out.params.push_back({QByteArray(param), value.toUtf8()});
        } else if (key == QLatin1String("pqopt")) {
            pqopt = value;
        } else if (key == QLatin1String("connsettings")) {
            out.connSettings = value;
        } else if (key == QLatin1String("readonly")) {
            out.readOnly = value.trimmed() == QLatin1String("1") ||
                           value.trimmed().compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
        } else if (!isKeyOf(key, kOdbcOnly)) {
            // psqlODBC's packed CX and A0..B9, and keys this program does not know.
            reason = QStringLiteral("データ ソースのキー %1 は libpq に対応するものがないため、"
                                    "ODBC ドライバーで接続しています。")
                         .arg(rawKey.trimmed());
            return false;
        }
    }
    // pqopt's parameters come after the entry's own, as the driver gives them to libpq.
    if (!pqopt.trimmed().isEmpty() && !addPqopt(pqopt, out, reason)) return false;
    // What the user typed wins, as it does through SQLConnect.
    if (!login.userId.isEmpty()) out.params.push_back({"user", login.userId.toUtf8()});
    if (!login.password.isEmpty()) out.params.push_back({"password", login.password.toUtf8()});
    out.params.push_back({"client_encoding", "UTF8"});
    return true;
}

} // namespace db
