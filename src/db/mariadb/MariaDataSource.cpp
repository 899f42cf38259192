#include "MariaDataSource.h"

#include "db/odbc/OdbcDataSources.h"

#include <algorithm>

#include <mysql.h>

namespace db {

namespace {
// The driver's OPTIONS bits (a sum of flags, as MySQL's driver gave them).
enum OptionBit : quint64 {
    kFieldLength = 1,
    kFoundRows = 2,
    kDebug = 4,
    kBigPackets = 8,
    kNoPrompt = 16,
    kDynamicCursor = 32,
    kNoSchema = 64,
    kNoDefaultCursor = 128,
    kNoLocale = 256,
    kPadSpace = 512,
    kFullColumnNames = 1024,
    kCompressedProto = 2048,
    kIgnoreSpace = 4096,
    kNamedPipe = 8192,
    kNoBigint = 16384,
    kNoCatalog = 32768,
    kUseMycnf = 65536,
    kSafe = 131072,
    kNoTransactions = 262144,
    kLogQuery = 524288,
    kNoCache = 1048576,
    kForwardCursor = 2097152,
    kAutoReconnect = 4194304,
    kAutoIsNull = 8388608,
    kZeroDateToMin = quint64(1) << 24,
    kMinDateToZero = quint64(1) << 25,
    kMultiStatements = quint64(1) << 26,
    kColumnSizeS32 = quint64(1) << 27,
    kNoBinaryResult = quint64(1) << 28,
    kBigintBindStr = quint64(1) << 29,
    kNoInformationSchema = quint64(1) << 30,
};

// Bits that only shape how the ODBC driver answers an ODBC caller: the native reading has its
// own ways for all of them. Found rows and several statements are how Tolvan always connects.
constexpr quint64 kOdbcOnlyBits =
    kFieldLength | kFoundRows | kDebug | kBigPackets | kNoPrompt | kDynamicCursor | kNoSchema |
    kNoDefaultCursor | kNoLocale | kPadSpace | kFullColumnNames | kNoBigint | kNoCatalog | kSafe |
    kLogQuery | kNoCache | kForwardCursor | kMultiStatements | kColumnSizeS32 | kNoBinaryResult |
    kBigintBindStr | kNoInformationSchema;
// Bits with a meaning for the client library.
constexpr quint64 kClientBits = kCompressedProto | kIgnoreSpace | kUseMycnf;

// The name of an OPTIONS bit the library has no use for, to tell the user.
QString bitName(quint64 bit) {
    switch (bit) {
    case kNamedPipe:
        return QStringLiteral("NAMED_PIPE");
    case kNoTransactions:
        return QStringLiteral("NO_TRANSACTIONS");
    case kAutoReconnect:
        return QStringLiteral("AUTO_RECONNECT");
    case kAutoIsNull:
        return QStringLiteral("AUTO_IS_NULL");
    case kZeroDateToMin:
        return QStringLiteral("ZERO_DATE_TO_MIN");
    case kMinDateToZero:
        return QStringLiteral("MIN_DATE_TO_ZERO");
    default:
        return QString::number(bit);
    }
}

// Keys that only the driver manager or the ODBC driver's answers read.
const char* const kOdbcOnly[] = {
    "driver",
    "description",
    "setup",
    "trace",
    "tracefile",
    "fileusage",
    "dontdlclose",
    "threading",
    "no_prompt",
    "forwardonly",
    "forceforwardonly",
    "no_cache",
    "no_ssps",
    "edserver",
    "savefile",
    "interactiveclient",
    "found_rows",
    "multi_statements",
    "dsn",
};

bool truthy(const QString& value) {
    const QString v = value.trimmed();
    return v == QLatin1String("1") || v.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

bool setOptions(quint64 option, MariaConnectParams& out, QString& reason) {
    for (int i = 0; i < 64; ++i) {
        const quint64 bit = quint64(1) << i;
        if (!(option & bit) || (kOdbcOnlyBits & bit) || (kClientBits & bit)) continue;
        reason = QStringLiteral("データ ソースの OPTIONS のビット %1 は MariaDB のクライアント "
                                "ライブラリに対応するものがないため、ODBC ドライバーで接続して"
                                "います。")
                     .arg(bitName(bit));
        return false;
    }
    if (option & kCompressedProto) out.clientFlags |= CLIENT_COMPRESS;
    if (option & kIgnoreSpace) out.clientFlags |= CLIENT_IGNORE_SPACE;
    if (option & kUseMycnf) out.readDefaultGroup = "odbc";
    return true;
}

bool seconds(const QString& key, const QString& value, unsigned int& out, QString& reason) {
    bool ok = false;
    const uint v = value.trimmed().toUInt(&ok);
    if (!ok) {
        reason = QStringLiteral("データ ソースのキー %1 の値 %2 は秒数として読めないため、ODBC "
                                "ドライバーで接続しています。")
                     .arg(key, value);
        return false;
    }
    out = v;
    return true;
}
} // namespace

bool mariaParamsFromDataSource(const std::vector<std::pair<QString, QString>>& entry,
                               const LoginParams& login, MariaConnectParams& out, QString& reason) {
    out = {};
    MariaConnectParams::Tls& tls = out.tls;
    const std::pair<const char*, QByteArray*> files[] = {
        {"sslkey", &tls.key},
        {"sslcert", &tls.cert},
        {"sslca", &tls.ca},
        {"sslcapath", &tls.caPath},
        {"sslcipher", &tls.cipher},
        {"sslcrl", &tls.crl},
        {"sslcrlpath", &tls.crlPath},
        {"tlsversion", &tls.version},
        {"tlspeerfp", &tls.peerFingerprint},
        {"tlspeerfplist", &tls.peerFingerprintList},
        {"serverkey", &tls.serverPublicKey},
        {"server", &out.host},
        {"servername", &out.host},
        {"uid", &out.user},
        {"user", &out.user},
        {"pwd", &out.password},
        {"password", &out.password},
        {"database", &out.database},
        {"db", &out.database},
        {"socket", &out.socket},
        {"charset", &out.charset},
        {"initstmt", &out.initStatement},
    };
    for (const auto& [rawKey, value] : entry) {
        const QString key = rawKey.trimmed().toLower();
        const auto file = std::find_if(std::begin(files), std::end(files), [&](const auto& f) {
            return key == QLatin1String(f.first);
        });
        if (file != std::end(files)) {
            if (!value.isEmpty()) *file->second = value.toUtf8();
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            out.port = value.trimmed().toUInt(&ok);
            if (!ok && !value.trimmed().isEmpty()) {
                reason = QStringLiteral("データ ソースのポート %1 が読めないため、ODBC ドライバーで"
                                        "接続しています。")
                             .arg(value);
                return false;
            }
        } else if (key == QLatin1String("option") || key == QLatin1String("options")) {
            bool ok = false;
            const quint64 option = value.trimmed().toULongLong(&ok);
            if (!value.trimmed().isEmpty() && (!ok || !setOptions(option, out, reason))) {
                if (!ok)
                    reason = QStringLiteral("データ ソースの OPTIONS %1 が読めないため、ODBC "
                                            "ドライバーで接続しています。")
                                 .arg(value);
                return false;
            }
        } else if (key == QLatin1String("conn_timeout")) {
            if (!seconds(rawKey.trimmed(), value, out.connectTimeout, reason)) return false;
        } else if (key == QLatin1String("read_timeout")) {
            if (!seconds(rawKey.trimmed(), value, out.readTimeout, reason)) return false;
        } else if (key == QLatin1String("write_timeout")) {
            if (!seconds(rawKey.trimmed(), value, out.writeTimeout, reason)) return false;
        } else if (key == QLatin1String("sslverify")) {
            tls.verify = truthy(value);
        } else if (key == QLatin1String("forcetls")) {
            tls.enforce = truthy(value);
        } else if (key == QLatin1String("readmycnf")) {
            if (truthy(value)) out.readDefaultGroup = "odbc";
        } else if (key == QLatin1String("compressed_proto")) {
            if (truthy(value)) out.clientFlags |= CLIENT_COMPRESS;
        } else if (key == QLatin1String("ignore_space")) {
            if (truthy(value)) out.clientFlags |= CLIENT_IGNORE_SPACE;
        } else if (!isKeyOf(key, kOdbcOnly)) {
            reason = QStringLiteral("データ ソースのキー %1 は MariaDB のクライアント ライブラリに"
                                    "対応するものがないため、ODBC ドライバーで接続しています。")
                         .arg(rawKey.trimmed());
            return false;
        }
    }
    // What the user typed wins, as it does through SQLConnect.
    if (!login.userId.isEmpty()) out.user = login.userId.toUtf8();
    if (!login.password.isEmpty()) out.password = login.password.toUtf8();
    // The driver's own default: a local server's socket is taken only when asked for.
    if (out.host.isEmpty() && out.socket.isEmpty()) out.host = "localhost";
    return true;
}

} // namespace db
