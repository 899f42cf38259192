#pragma once

#include <QElapsedTimer>
#include <functional>

// Lets a caller's events run at most every few tens of milliseconds, however often it is
// asked to: cheap enough to ask after every row.
class EventPump {
public:
    explicit EventPump(std::function<void()> run) : m_run(std::move(run)) {}
    void operator()() {
        if (!m_run) return;
        if (m_timer.isValid() && m_timer.elapsed() < kSliceMs) return;
        m_run();
        m_timer.start();
    }

private:
    static constexpr qint64 kSliceMs = 30;
    std::function<void()> m_run;
    QElapsedTimer m_timer;
};
