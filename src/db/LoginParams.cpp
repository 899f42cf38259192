#include "LoginParams.h"

namespace db {

LoginParams parseConnectionString(const QString& text) {
    LoginParams p;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(';') || text[i].isSpace()))
            ++i;
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0) break;
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        QString value;
        const QChar open = i < n ? text[i] : QChar();
        const QChar close = open == QLatin1Char('{')    ? QLatin1Char('}')
                            : open == QLatin1Char('"')  ? QLatin1Char('"')
                            : open == QLatin1Char('\'') ? QLatin1Char('\'')
                                                        : QChar();
        if (!close.isNull()) {
            ++i;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) { // doubled closing character
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && text[i] != QLatin1Char(';'))
                ++i;
        } else {
            const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
            const qsizetype end = semi < 0 ? n : semi;
            value = text.mid(i, end - i);
            i = end;
        }
        if (key == QLatin1String("provider"))
            p.provider = value.trimmed();
        else if (key == QLatin1String("data source") || key == QLatin1String("dsn"))
            p.dataSource = value;
        else if (key == QLatin1String("user id") || key == QLatin1String("uid"))
            p.userId = value;
        else if (key == QLatin1String("password") || key == QLatin1String("pwd"))
            p.password = value;
        else if (!key.isEmpty())
            p.options[key] = value;
    }
    return p;
}

QString braceQuote(const QString& value) {
    QString v = value;
    v.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

QString connectionValue(const QString& value) {
    const bool needsBraces = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
                             value.contains(QLatin1Char('}')) ||
                             (!value.isEmpty() && value.front().isSpace());
    return needsBraces ? braceQuote(value) : value;
}

} // namespace db
