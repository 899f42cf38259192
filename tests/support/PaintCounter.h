#pragma once

#include <QEvent>
#include <QHash>
#include <QObject>
#include <algorithm>

// Counts the paints of every widget while it filters the application's events.
class PaintCounter : public QObject {
public:
    // The paints of the widget painted most.
    int busiest() const {
        int n = 0;
        for (int p : m_paints)
            n = std::max(n, p);
        return n;
    }
    int total() const {
        int n = 0;
        for (int p : m_paints)
            n += p;
        return n;
    }
    // Named as it was when painted: the widget may be gone.
    QString busiestName() const {
        for (auto it = m_paints.cbegin(); it != m_paints.cend(); ++it)
            if (it.value() == busiest()) return m_names.value(it.key());
        return QString();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        if (++m_paints[watched] == 1) m_names.insert(watched, watched->objectName());
        return false;
    }

private:
    QHash<QObject*, int> m_paints;
    QHash<QObject*, QString> m_names;
};
