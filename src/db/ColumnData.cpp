#include "ColumnData.h"

#include "ValueText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace db {

void ColumnData::Segment::pushOffset(quint64 end) {
    if (fixedWidth) {
        if (cells == 0) width = end;
        if (end == (cells + 1) * width) {
            ++cells;
            return;
        }
        // The first cell of another length: from here on each cell keeps its own end.
        fixedWidth = false;
        if (cells * width <= std::numeric_limits<quint32>::max()) {
            offsets.reserve(cells + 1);
            for (size_t i = 0; i < cells; ++i)
                offsets.push_back(quint32((i + 1) * width));
        } else {
            wideOffsets.reserve(cells + 1);
            for (size_t i = 0; i < cells; ++i)
                wideOffsets.push_back((i + 1) * width);
        }
    }
    ++cells;
    if (wideOffsets.empty() && end <= std::numeric_limits<quint32>::max()) {
        offsets.push_back(quint32(end));
        return;
    }
    if (wideOffsets.empty()) {
        wideOffsets.reserve(offsets.size() + 1);
        for (quint32 o : offsets)
            wideOffsets.push_back(o);
        PageArray<quint32>().swap(offsets);
    }
    wideOffsets.push_back(end);
}

namespace {
bool fits32(qint64 v) {
    return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}
} // namespace

void ColumnData::Segment::widen() {
    ints.clear();
    ints.reserve(narrow.size() + 1);
    for (qint32 v : narrow)
        ints.push_back(v);
    PageArray<qint32>().swap(narrow);
    wide = true;
}

void ColumnData::Segment::pushInt(qint64 v) {
    if (!wide && fits32(v)) return narrow.push_back(qint32(v));
    if (!wide) widen();
    ints.push_back(v);
}

void ColumnData::Segment::setInt(size_t i, qint64 v) {
    if (!wide && fits32(v)) {
        narrow[i] = qint32(v);
        return;
    }
    if (!wide) widen();
    ints[i] = v;
}

void ColumnData::Segment::squeeze() {
    nulls.shrink_to_fit();
    blobMarks.shrink_to_fit();
    narrow.shrink_to_fit();
    ints.shrink_to_fit();
    reals.shrink_to_fit();
    offsets.shrink_to_fit();
    wideOffsets.shrink_to_fit();
    arena.shrink_to_fit();
}

void ColumnData::squeeze() {
    if (!m_segments.empty()) m_segments.back().squeeze();
}

void ColumnData::clearKeepingMemory(Storage storage) {
    m_storage = storage;
    m_size = 0;
    m_edited.clear();
    if (m_segments.size() > 1) m_segments.resize(1);
    if (!m_segments.empty()) m_segments.front().clear();
}

void ColumnData::Segment::clear() {
    rows = 0;
    nulls.clear();
    blobMarks.clear();
    wide = false;
    narrow.clear();
    ints.clear();
    reals.clear();
    fixedWidth = true;
    width = 0;
    cells = 0;
    offsets.clear();
    wideOffsets.clear();
    arena.clear();
}

size_t ColumnData::Segment::memoryBytes() const {
    return nulls.capacity() * 8 + blobMarks.capacity() * 8 + narrow.memoryBytes() +
           ints.memoryBytes() + reals.memoryBytes() + offsets.memoryBytes() +
           wideOffsets.memoryBytes() + arena.memoryBytes();
}

ColumnData::ColumnData(Storage storage, IntForm form, bool decimalText, bool single)
    : m_storage(storage), m_form(form), m_decimalText(decimalText), m_single(single) {}

namespace {
// Seals the full last segment and opens the next; kept out of line so that lastSegment stays
// small enough to inline into every append.
template <class Segments> [[gnu::noinline]] auto& startSegment(Segments& segments) {
    // A full segment keeps no room for growth.
    if (!segments.empty()) segments.back().squeeze();
    segments.emplace_back();
    return segments.back();
}

// The segment the next cell goes to: what tail() answers, for the appends in this file.
template <class Segments> inline auto& lastSegment(Segments& segments, size_t segmentRows) {
    if (!segments.empty() && segments.back().rows != segmentRows) [[likely]]
        return segments.back();
    return startSegment(segments);
}
} // namespace

ColumnData::Segment& ColumnData::tail() {
    return lastSegment(m_segments, kSegmentRows);
}

void ColumnData::reserve(size_t rows) {
    // Only the first segment: later ones grow as the rows come.
    Segment& s = lastSegment(m_segments, kSegmentRows);
    rows = std::min(rows, kSegmentRows - s.rows);
    s.nulls.reserve(rows / 64 + 1);
    switch (m_storage) {
    case Storage::Int:
        s.narrow.reserve(rows);
        break;
    case Storage::Real:
        s.reals.reserve(rows);
        break;
    case Storage::Text:
    case Storage::Blob:
        // Offsets come only once cells differ in length.
        break;
    }
}

void ColumnData::pushNullBit(bool null) {
    Segment& s = lastSegment(m_segments, kSegmentRows);
    if ((s.rows & 63) == 0) s.nulls.push_back(0);
    if (null) s.nulls.back() |= quint64(1) << (s.rows & 63);
    ++s.rows;
    ++m_size;
}

void ColumnData::setNullBit(size_t row, bool null) {
    Segment& s = m_segments[row >> kSegmentBits];
    const size_t i = row & kSegmentMask;
    const quint64 bit = quint64(1) << (i & 63);
    if (null)
        s.nulls[i >> 6] |= bit;
    else
        s.nulls[i >> 6] &= ~bit;
}

void ColumnData::appendNull() {
    Segment& s = lastSegment(m_segments, kSegmentRows);
    switch (m_storage) {
    case Storage::Int:
        s.pushInt(0);
        break;
    case Storage::Real:
        s.reals.push_back(0);
        break;
    case Storage::Text:
    case Storage::Blob:
        s.pushOffset(s.arena.size());
        break;
    }
    pushNullBit(true);
}

void ColumnData::appendInt(qint64 v) {
    lastSegment(m_segments, kSegmentRows).pushInt(v);
    pushNullBit(false);
}

void ColumnData::appendReal(double v) {
    lastSegment(m_segments, kSegmentRows).reals.push_back(v);
    pushNullBit(false);
}

void ColumnData::appendBytes(std::string_view bytes) {
    lastSegment(m_segments, kSegmentRows).arena.append(bytes.data(), bytes.size());
    endText();
}

void ColumnData::markBlob(size_t row) {
    Segment& s = m_segments[row >> kSegmentBits];
    const size_t i = row & kSegmentMask;
    if (s.blobMarks.size() <= (i >> 6)) s.blobMarks.resize((i >> 6) + 1, 0);
    s.blobMarks[i >> 6] |= quint64(1) << (i & 63);
}

void ColumnData::appendBlobInText(std::string_view bytes) {
    lastSegment(m_segments, kSegmentRows);
    const size_t row = m_size;
    appendBytes(bytes);
    markBlob(row);
}

void ColumnData::endText() {
    Segment& s = lastSegment(m_segments, kSegmentRows);
    s.pushOffset(s.arena.size());
    pushNullBit(false);
}

std::string_view ColumnData::bytesAt(size_t row) const {
    if (!m_edited.empty()) {
        auto it = m_edited.find(row);
        if (it != m_edited.end()) return it->second;
    }
    const Segment& s = m_segments[row >> kSegmentBits];
    const size_t i = row & kSegmentMask;
    const quint64 from = s.offset(i);
    return std::string_view(s.arena.data() + from, size_t(s.offset(i + 1) - from));
}

QString ColumnData::text(size_t row) const {
    if (isNull(row)) return QString();
    switch (m_storage) {
    case Storage::Int:
        return intText(intAt(row), m_form);
    case Storage::Real:
        return realText(realAt(row), m_single);
    case Storage::Text: {
        const std::string_view b = bytesAt(row);
        if (isBinary(row)) return hexText(b);
        QString t;
        utf8Into(b, t);
        return t;
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
        n = intChars(intAt(row), m_form, buf);
        break;
    case Storage::Real:
        n = realChars(realAt(row), buf, m_single);
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
        m_segments[row >> kSegmentBits].setInt(row & kSegmentMask, *v);
        return true;
    }
    case Storage::Real: {
        const auto v = parseReal(t);
        if (!v) return false;
        m_segments[row >> kSegmentBits].reals[row & kSegmentMask] = *v;
        return true;
    }
    case Storage::Text: {
        if (isBinary(row)) {
            m_edited[row] = QByteArray::fromHex(t.toLatin1()).toStdString();
            return true;
        }
        std::string& bytes = m_edited[row];
        bytes.clear();
        appendUtf16AsUtf8(bytes, reinterpret_cast<const char16_t*>(t.utf16()), size_t(t.size()));
        return true;
    }
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
        appendUtf16AsUtf8(arena(), reinterpret_cast<const char16_t*>(t.utf16()), size_t(t.size()));
        endText();
    } else {
        appendNull();
        set(m_size - 1, v);
    }
}

namespace {
// Appends count bits of src, starting at bit from, to dst, which holds dstBits bits.
void appendBits(std::vector<quint64>& dst, size_t dstBits, const std::vector<quint64>& src,
                size_t from, size_t count) {
    dst.resize((dstBits + count + 63) / 64, 0);
    for (size_t k = 0; k < count; ++k) {
        const size_t b = from + k;
        if ((b >> 6) < src.size() && ((src[b >> 6] >> (b & 63)) & 1u)) {
            const size_t d = dstBits + k;
            dst[d >> 6] |= quint64(1) << (d & 63);
        }
    }
}

bool anyBit(const std::vector<quint64>& bits, size_t from, size_t count) {
    for (size_t b = from; b < from + count; ++b)
        if ((b >> 6) < bits.size() && ((bits[b >> 6] >> (b & 63)) & 1u)) return true;
    return false;
}
} // namespace

void ColumnData::appendRange(const Segment& s, size_t from, size_t count) {
    Segment& t = lastSegment(m_segments, kSegmentRows);
    if ((t.rows & 63) == 0 && (from & 63) == 0) {
        // Whole words: the common case of blocks that start on a segment.
        const size_t words = (count + 63) / 64;
        t.nulls.insert(t.nulls.end(), s.nulls.begin() + qint64(from >> 6),
                       s.nulls.begin() + qint64((from >> 6) + words));
        const size_t spare = words * 64 - count;
        if (spare) t.nulls.back() &= ~quint64(0) >> spare;
    } else {
        appendBits(t.nulls, t.rows, s.nulls, from, count);
    }
    if (!s.blobMarks.empty() && anyBit(s.blobMarks, from, count))
        appendBits(t.blobMarks, t.rows, s.blobMarks, from, count);
    switch (m_storage) {
    case Storage::Int:
        if (!s.wide && !t.wide) {
            t.narrow.append(s.narrow.data() + from, count);
        } else {
            for (size_t i = 0; i < count; ++i)
                t.pushInt(s.intAt(from + i));
        }
        break;
    case Storage::Real:
        t.reals.append(s.reals.data() + from, count);
        break;
    case Storage::Text:
    case Storage::Blob: {
        const quint64 first = s.offset(from);
        const quint64 base = t.arena.size();
        t.arena.append(s.arena.data() + first, size_t(s.offset(from + count) - first));
        if (s.fixedWidth && t.fixedWidth && (t.cells == 0 || t.width == s.width)) {
            t.width = s.width;
            t.cells += count;
            break;
        }
        for (size_t i = 0; i < count; ++i)
            t.pushOffset(base + s.end(from + i) - first);
        break;
    }
    }
    t.rows += count;
    m_size += count;
}

void ColumnData::appendColumn(ColumnData& other) {
    if (other.m_storage != m_storage) {
        // Only a promotion to text makes blocks of one column differ.
        promoteToText();
        other.promoteToText();
    }
    for (const auto& [row, bytes] : other.m_edited)
        m_edited[m_size + row] = bytes;
    for (const Segment& s : other.m_segments) {
        size_t from = 0;
        while (from < s.rows) {
            const size_t room = kSegmentRows - lastSegment(m_segments, kSegmentRows).rows;
            const size_t count = std::min(room, s.rows - from);
            appendRange(s, from, count);
            from += count;
        }
    }
    other = ColumnData(other.m_storage, other.m_form, other.m_decimalText, other.m_single);
}

void ColumnData::promoteToText() {
    if (m_storage == Storage::Text) return;
    if (m_storage == Storage::Blob) {
        // The bytes stay as they are; each cell keeps its kind.
        m_storage = Storage::Text;
        for (size_t r = 0; r < m_size; ++r)
            if (!isNull(r)) markBlob(r);
        return;
    }
    for (size_t k = 0; k < m_segments.size(); ++k) {
        Segment& s = m_segments[k];
        Segment converted;
        for (size_t i = 0; i < s.rows; ++i) {
            const size_t row = (k << kSegmentBits) + i;
            if (!isNull(row)) converted.arena.append(text(row).toStdString());
            converted.pushOffset(converted.arena.size());
        }
        PageArray<qint64>().swap(s.ints);
        PageArray<qint32>().swap(s.narrow);
        s.wide = false;
        PageArray<double>().swap(s.reals);
        s.fixedWidth = converted.fixedWidth;
        s.width = converted.width;
        s.cells = converted.cells;
        s.offsets = std::move(converted.offsets);
        s.wideOffsets = std::move(converted.wideOffsets);
        s.arena = std::move(converted.arena);
    }
    m_storage = Storage::Text;
    m_form = IntForm::Number;
    m_edited.clear();
}

int ColumnData::compare(size_t a, size_t b) const {
    const bool na = isNull(a), nb = isNull(b);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    switch (m_storage) {
    case Storage::Int: {
        const qint64 x = intAt(a), y = intAt(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case Storage::Real: {
        const double x = realAt(a), y = realAt(b);
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
    size_t total = m_segments.capacity() * sizeof(Segment);
    for (const Segment& s : m_segments)
        total += s.memoryBytes();
    return total;
}

} // namespace db
