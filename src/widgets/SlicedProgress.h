#pragma once

#include <QPointer>
#include <QProgressBar>

// A progress bar that a loop sets after every row. QProgressBar paints itself at once on every
// new value, which costs more than the row: the value is kept and shown when the window's
// events next run, only when it differs from the one on screen.
class SlicedProgress {
public:
    SlicedProgress() = default;
    explicit SlicedProgress(QProgressBar* bar) : m_bar(bar) {}
    void set(int value) { m_pending = value; }
    // The value set last, now: at a slice of events, or where no loop follows.
    void show() {
        if (m_pending < 0 || !m_bar) return;
        if (m_bar->value() != m_pending) {
            // Painted with the window's other changes in one pass, not at once on its own.
            m_bar->setUpdatesEnabled(false);
            m_bar->setValue(m_pending);
            m_bar->setUpdatesEnabled(true);
        }
        m_pending = -1;
    }
    void reset() {
        m_pending = -1;
        if (m_bar) m_bar->setValue(0);
    }

private:
    QPointer<QProgressBar> m_bar;
    int m_pending = -1;
};
