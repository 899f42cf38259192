#include "QueryHistory.h"

void QueryHistory::AddToHistory(const QString& statement) {
    int u = int(m_entries.size()) - 1;
    if (m_entries[u] == statement) {
        m_position = u + 1;
    } else {
        if (!m_entries[0].isEmpty() || u != 0)
            m_entries.append(QString());
        else
            u = -1; // the initial empty entry takes the statement
        m_entries[u + 1] = statement;
        if (u + 1 < kMaxEntries) {
            m_position = u + 2;
        } else {
            m_entries.removeFirst();
            m_position = kMaxEntries;
        }
    }
    m_backward = true;
    m_forward = false;
}

QString QueryHistory::HistoryBackward() {
    const int upper = int(m_entries.size()) - 1;
    if (upper == 0) return m_entries[0];
    if (m_position <= 0) return m_entries[0]; // kept out by the disabled command
    --m_position;
    const QString shown = m_entries[m_position];
    if (m_position < upper) m_forward = true;
    if (m_position - 1 < 0) m_backward = false;
    return shown;
}

QString QueryHistory::HistoryForward() {
    if (m_position + 1 >= int(m_entries.size()))
        return m_entries.back(); // kept out by the disabled command
    ++m_position;
    const QString shown = m_entries[m_position];
    m_backward = true;
    if (int(m_entries.size()) - 1 < m_position + 1) m_forward = false;
    return shown;
}
