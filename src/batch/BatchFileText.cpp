#include "BatchFileText.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <iconv.h>

namespace {

QString decodeCp932(const QByteArray& bytes) {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == iconv_t(-1)) return QString::fromLatin1(bytes);
    QByteArray out;
    out.resize(bytes.size() * 2 + 4);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* dst = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG) break; // cannot happen: every CP932 byte gives at most one UTF-16 unit
        // A byte that is not CP932 becomes the replacement character instead of ending the text.
        ++in;
        --inLeft;
        if (outLeft < 2) break;
        *dst++ = char(0xFD);
        *dst++ = char(0xFF);
        outLeft -= 2;
    }
    iconv_close(cd);
    out.resize(qsizetype(dst - out.data()));
    return QString(reinterpret_cast<const QChar*>(out.constData()), out.size() / 2);
}

} // namespace

QString DecodeBatchFile(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    return decodeCp932(bytes);
}

QByteArray EncodeBatchFile(const QString& text) {
    QStringEncoder encoder(QStringEncoder::System);
    return encoder.encode(text);
}
