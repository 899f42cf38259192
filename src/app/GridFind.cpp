#include "GridFind.h"

#include "db/Recordset.h"

#include <algorithm>
#include <string_view>

namespace {
bool ascii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (unsigned char)c < 0x80; });
}
template <typename C> C lower(C c) {
    return c >= C('A') && c <= C('Z') ? C(c + 32) : c;
}
template <typename C> C upper(C c) {
    return c >= C('a') && c <= C('z') ? C(c - 32) : c;
}
// A text of ASCII characters, given in lower case, in a cell in either case. The code units of
// other characters never equal an ASCII one, so a cell of any script is searched as it is.
template <typename C>
bool holdsIgnoringCase(std::basic_string_view<C> cell, std::string_view text) {
    if (text.empty()) return true;
    const C first[] = {C(text[0]), upper(C(text[0]))};
    const std::basic_string_view<C> starts(first, first[0] == first[1] ? 1 : 2);
    for (size_t i = cell.find_first_of(starts); i != std::basic_string_view<C>::npos;
         i = cell.find_first_of(starts, i + 1)) {
        if (cell.size() - i < text.size()) return false;
        size_t j = 1;
        while (j < text.size() && lower(cell[i + j]) == C(text[j]))
            ++j;
        if (j == text.size()) return true;
    }
    return false;
}
} // namespace

GridFind::GridFind(const db::Recordset& rs, const QString& text, bool matchCase)
    : m_rs(rs), m_text(text), m_utf8(text.toUtf8()),
      // A text without case (kanji, digits) matches the same either way.
      m_case(matchCase || (text.toLower() == text && text.toUpper() == text) ? Qt::CaseSensitive
                                                                             : Qt::CaseInsensitive),
      m_asciiText(ascii(std::string_view(m_utf8.constData(), size_t(m_utf8.size())))) {
    if (m_case == Qt::CaseInsensitive && m_asciiText) m_utf8 = m_utf8.toLower();
}

bool GridFind::cellHolds(int row, int col) {
    if (m_text.isEmpty() || m_rs.isNull(row, col)) return false;
    // Stored text is searched as the bytes it is, without making a string of it; cells of
    // other letters, and numbers, dates and bytes, as the text the grid shows.
    if (!m_rs.isBinary(row, col) && m_rs.storedBytes(row, col) > 0) {
        const std::string_view cell = m_rs.bytesAt(row, col);
        const std::string_view text(m_utf8.constData(), size_t(m_utf8.size()));
        if (m_case == Qt::CaseSensitive) return cell.find(text) != std::string_view::npos;
        if (m_asciiText) return holdsIgnoringCase(cell, text);
    }
    m_rs.textInto(row, col, m_scratch);
    if (m_case == Qt::CaseInsensitive && m_asciiText)
        return holdsIgnoringCase(
            std::u16string_view(reinterpret_cast<const char16_t*>(m_scratch.utf16()),
                                size_t(m_scratch.size())),
            std::string_view(m_utf8.constData(), size_t(m_utf8.size())));
    return m_scratch.contains(m_text, m_case);
}

bool GridFind::rowHolds(int row) {
    for (int c = 0; c < m_rs.FieldCount(); ++c)
        if (cellHolds(row, c)) return true;
    return false;
}

std::vector<int> GridFind::rowsHolding() {
    std::vector<int> rows;
    const int count = m_rs.RecordCount();
    for (int r = 0; r < count; ++r)
        if (rowHolds(r)) rows.push_back(r);
    return rows;
}
