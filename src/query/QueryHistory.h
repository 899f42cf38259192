#pragma once

#include <QStringList>

// The last 30 distinct statements run from the main window, walked with Backward and
// Forward. The enabled states of the two commands are part of it.
class QueryHistory {
public:
    static constexpr int kMaxEntries = 30;

    void AddToHistory(const QString& statement);
    // The entry to show; the caller puts it into the query box.
    QString HistoryBackward();
    QString HistoryForward();

    const QStringList& entries() const { return m_entries; }
    int position() const { return m_position; }
    bool backwardEnabled() const { return m_backward; }
    bool forwardEnabled() const { return m_forward; }

private:
    // One empty entry stands for an empty history.
    QStringList m_entries{QString()};
    int m_position = 0;
    bool m_backward = false;
    bool m_forward = false;
};
