#include "ColumnData.h"

#include "ValueText.h"

#include <algorithm>
#include <cmath>

namespace db {

ColumnData::ColumnData(Storage storage, IntForm form, bool decimalText)
    : m_storage(storage), m_form(form), m_decimalText(decimalText) {}

void ColumnData::reserve(size_t rows) {
    m_nulls.reserve(rows / 64 + 1);
    switch (m_storage) {
    case Storage::Int:
        m_ints.reserve(rows);
        break;
    case Storage::Real:
        m_reals.reserve(rows);
        break;
    case Storage::Text:
    case Storage::Blob:
        m_offsets.reserve(rows + 1);
        break;
    }
}

void ColumnData::pushNullBit(bool null) {
    if ((m_size & 63) == 0) m_nulls.push_back(0);
    if (null) m_nulls.back() |= quint64(1) << (m_size & 63);
    ++m_size;
}

void ColumnData::setNullBit(size_t row, bool null) {
    const quint64 bit = quint64(1) << (row & 63);
    if (null)
        m_nulls[row >> 6] |= bit;
    else
        m_nulls[row >> 6] &= ~bit;
}

void ColumnData::appendNull() {
    switch (m_storage) {
    case Storage::Int:
        m_ints.push_back(0);
        break;
    case Storage::Real:
        m_reals.push_back(0);
        break;
    case Storage::Text:
    case Storage::Blob:
        m_offsets.push_back(m_arena.size());
        break;
    }
    pushNullBit(true);
}

void ColumnData::appendInt(qint64 v) {
    m_ints.push_back(v);
    pushNullBit(false);
}

void ColumnData::appendReal(double v) {
    m_reals.push_back(v);
    pushNullBit(false);
}

void ColumnData::appendBytes(std::string_view bytes) {
    m_arena.append(bytes);
    endText();
}

void ColumnData::markBlob(size_t row) {
    if (m_blobMarks.size() <= (row >> 6)) m_blobMarks.resize((row >> 6) + 1, 0);
    m_blobMarks[row >> 6] |= quint64(1) << (row & 63);
}

void ColumnData::appendBlobInText(std::string_view bytes) {
    markBlob(m_size);
    appendBytes(bytes);
}

void ColumnData::endText() {
    m_offsets.push_back(m_arena.size());
    pushNullBit(false);
}

std::string_view ColumnData::bytesAt(size_t row) const {
    if (!m_edited.empty()) {
        auto it = m_edited.find(row);
        if (it != m_edited.end()) return it->second;
    }
    return std::string_view(m_arena.data() + m_offsets[row], m_offsets[row + 1] - m_offsets[row]);
}

QString ColumnData::text(size_t row) const {
    if (isNull(row)) return QString();
    switch (m_storage) {
    case Storage::Int:
        return intText(m_ints[row], m_form);
    case Storage::Real:
        return realText(m_reals[row]);
    case Storage::Text: {
        const std::string_view b = bytesAt(row);
        if (isBinary(row)) return hexText(b);
        return QString::fromUtf8(b.data(), qsizetype(b.size()));
    }
    case Storage::Blob:
        return hexText(bytesAt(row));
    }
    return QString();
}

void ColumnData::textInto(size_t row, QString& out) const {
    if (isNull(row)) {
        out.resize(0);
        return;
    }
    char buf[32];
    size_t n = 0;
    switch (m_storage) {
    case Storage::Text:
        if (isBinary(row))
            out = hexText(bytesAt(row));
        else
            utf8Into(bytesAt(row), out);
        return;
    case Storage::Blob:
        out = hexText(bytesAt(row));
        return;
    case Storage::Int:
        n = intChars(m_ints[row], m_form, buf);
        break;
    case Storage::Real:
        n = realChars(m_reals[row], buf);
        break;
    }
    out.resize(qsizetype(n));
    QChar* o = out.data();
    for (size_t i = 0; i < n; ++i)
        o[i] = QLatin1Char(buf[i]);
}

Value ColumnData::value(size_t row) const {
    if (isNull(row)) return Value::null();
    return Value(text(row));
}

bool ColumnData::parseInto(size_t row, const QString& t) {
    switch (m_storage) {
    case Storage::Int: {
        const auto v = parsePacked(t, m_form);
        if (!v) return false;
        m_ints[row] = *v;
        return true;
    }
    case Storage::Real: {
        const auto v = parseReal(t);
        if (!v) return false;
        m_reals[row] = *v;
        return true;
    }
    case Storage::Text:
        if (isBinary(row)) {
            m_edited[row] = QByteArray::fromHex(t.toLatin1()).toStdString();
            return true;
        }
        m_edited[row] = t.toStdString();
        return true;
    case Storage::Blob: {
        const QByteArray raw = QByteArray::fromHex(t.toLatin1());
        m_edited[row] = raw.toStdString();
        return true;
    }
    }
    return false;
}

void ColumnData::set(size_t row, const Value& v) {
    if (v.isNull()) {
        setNullBit(row, true);
        return;
    }
    if (!parseInto(row, v.text())) {
        promoteToText();
        parseInto(row, v.text());
    }
    setNullBit(row, false);
}

void ColumnData::append(const Value& v) {
    if (v.isNull()) {
        appendNull();
    } else if (m_storage == Storage::Text) {
        const QString& t = v.text();
        appendUtf16AsUtf8(m_arena, reinterpret_cast<const char16_t*>(t.utf16()), size_t(t.size()));
        endText();
    } else {
        appendNull();
        set(m_size - 1, v);
    }
}

namespace {
// Appends srcBits bits of src to dst, which holds dstBits bits.
void appendBits(std::vector<quint64>& dst, size_t dstBits, const std::vector<quint64>& src,
                size_t srcBits) {
    dst.resize((dstBits + 63) / 64, 0);
    for (size_t b = 0; b < srcBits; ++b) {
        if ((b >> 6) >= src.size() || !((src[b >> 6] >> (b & 63)) & 1u)) continue;
        const size_t d = dstBits + b;
        if ((d >> 6) >= dst.size()) dst.resize((d >> 6) + 1, 0);
        dst[d >> 6] |= quint64(1) << (d & 63);
    }
    dst.resize((dstBits + srcBits + 63) / 64, 0);
}
} // namespace

void ColumnData::appendColumn(ColumnData& other) {
    if (other.m_storage != m_storage) {
        // Only a promotion to text makes blocks of one column differ.
        promoteToText();
        other.promoteToText();
    }
    appendBits(m_nulls, m_size, other.m_nulls, other.m_size);
    if (!other.m_blobMarks.empty())
        appendBits(m_blobMarks, m_size, other.m_blobMarks, other.m_size);
    switch (m_storage) {
    case Storage::Int:
        m_ints.insert(m_ints.end(), other.m_ints.begin(), other.m_ints.end());
        break;
    case Storage::Real:
        m_reals.insert(m_reals.end(), other.m_reals.begin(), other.m_reals.end());
        break;
    case Storage::Text:
    case Storage::Blob: {
        const quint64 base = m_arena.size();
        m_arena.append(other.m_arena);
        for (size_t r = 1; r < other.m_offsets.size(); ++r)
            m_offsets.push_back(base + other.m_offsets[r]);
        break;
    }
    }
    m_size += other.m_size;
    other = ColumnData(other.m_storage, other.m_form, other.m_decimalText);
}

void ColumnData::promoteToText() {
    if (m_storage == Storage::Text) return;
    if (m_storage == Storage::Blob) {
        // The bytes stay as they are; each cell keeps its kind.
        for (size_t r = 0; r < m_size; ++r)
            if (!isNull(r)) markBlob(r);
        m_storage = Storage::Text;
        return;
    }
    std::string arena;
    std::vector<quint64> offsets;
    offsets.reserve(m_size + 1);
    offsets.push_back(0);
    for (size_t r = 0; r < m_size; ++r) {
        if (!isNull(r)) arena += text(r).toStdString();
        offsets.push_back(arena.size());
    }
    m_storage = Storage::Text;
    m_form = IntForm::Number;
    m_arena = std::move(arena);
    m_offsets = std::move(offsets);
    m_edited.clear();
    std::vector<qint64>().swap(m_ints);
    std::vector<double>().swap(m_reals);
}

int ColumnData::compare(size_t a, size_t b) const {
    const bool na = isNull(a), nb = isNull(b);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    switch (m_storage) {
    case Storage::Int:
        return m_ints[a] < m_ints[b] ? -1 : (m_ints[a] > m_ints[b] ? 1 : 0);
    case Storage::Real: {
        const double x = m_reals[a], y = m_reals[b];
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case Storage::Text:
    case Storage::Blob: {
        const std::string_view x = bytesAt(a), y = bytesAt(b);
        if (m_decimalText) return compareDecimalText(x, y);
        const int c = x.compare(y);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    }
    return 0;
}

size_t ColumnData::memoryBytes() const {
    return m_nulls.capacity() * 8 + m_blobMarks.capacity() * 8 + m_ints.capacity() * 8 +
           m_reals.capacity() * 8 + m_offsets.capacity() * 8 + m_arena.capacity();
}

} // namespace db
