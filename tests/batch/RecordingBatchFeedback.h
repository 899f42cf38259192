#pragma once

#include "batch/BatchFeedback.h"

#include <QList>
#include <QStringList>

// The batch window as the runners see it, recording what they do and answering the dialogs
// from a script.
class RecordingBatchFeedback : public BatchFeedback {
public:
    struct LogEntry {
        QString subject;
        QString detail;
        bool success;
        bool operator==(const LogEntry&) const = default;
    };

    QString command;
    QList<LogEntry> log; // oldest first
    QStringList calls;   // "enable", "disable", "running", "idle" in order
    QList<int> progress;
    int pumps = 0;
    QStringList messages;
    QString fileAnswer;  // what the open-file dialog returns
    QStringList dialogs; // title|filter|folder of each dialog shown
    bool running = false;

    QString commandText() const override { return command; }
    void setCommandText(const QString& text) override { command = text; }
    void SetControlsEnabled(bool enabled) override { calls << (enabled ? "enable" : "disable"); }
    void AppendLog(const QString& subject, const QString& detail, bool success) override {
        // The runner must hold the window in its running state while it logs.
        if (!running) calls << "log while idle";
        log.push_back({subject, detail, success});
    }
    void setBatchRunning(bool on) override {
        running = on;
        calls << (on ? "running" : "idle");
    }
    void setProgress(int value) override {
        progress << value;
        if (value == stopAtProgress) {
            abort = true;
            stopAtProgress = -1;
        }
    }
    void doEvents() override { ++pumps; }
    void showMessage(const QString& text) override { messages << text; }
    // A stop asked for when the progress first reaches stopAtProgress (-1: never), answered
    // from answers (OK when none is left).
    int stopAtProgress = -1;
    bool abort = false;
    QStringList questions;
    QList<bool> answers;
    bool askQuestion(const QString& text) override {
        questions << text;
        return answers.isEmpty() || answers.takeFirst();
    }
    bool abortRequested() const override { return abort; }
    void clearAbortRequest() override { abort = false; }
    QString showOpenDialog(const QString& title, const QString& filter,
                           const QString& folder) override {
        dialogs << title + QLatin1Char('|') + filter + QLatin1Char('|') + folder;
        return fileAnswer;
    }
};
