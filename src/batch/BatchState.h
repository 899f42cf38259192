#pragma once

#include <QSize>
#include <QString>

// What the batch window keeps for the whole program run, across its openings.
struct BatchState {
    bool BatchRunning = false;
    QString SavedBatchText;
    QString SavedBatchLog;

    // Sizes captured at the first opening, in pixels, for the resize rule.
    bool metricsCaptured = false;
    QSize initialWindow;
    QSize initialCommandBox;
    int initialLogWidth = 0;
    int initialLogTop = 0;
    int initialBarWidth = 0;
    int initialBarTop = 0;
};
