#pragma once

#include "db/Recordset.h"
#include "query/WindowFeedback.h"

#include <QStringList>

// A recording stand-in for the main window: answers prompts from a script and the desktop's
// opening with a fixed answer, and keeps every call in order.
class OutputWindow : public WindowFeedback {
public:
    QStringList calls;
    QStringList statuses;
    QStringList prompts;
    QList<PanelAnswer> answers; // given in order; OK when none is left
    QStringList opened;         // paths handed to the desktop
    QList<int> progress;        // the first thousand values
    int lastProgress = -1;
    bool desktopHasHandler = true;
    bool enabled = true;
    // Escape pressed: the running loop's abort request.
    bool abort = false;
    int events = 0;

    bool abortRequested() const override { return abort; }
    void clearAbortRequest() override { abort = false; }
    void SetWindowEnabled(bool e) override {
        enabled = e;
        calls << QStringLiteral("enabled=%1").arg(e);
    }
    void ShowBusy(const QString&, bool ok, bool cancel) override {
        calls << QStringLiteral("busy %1%2").arg(ok).arg(cancel);
    }
    void HideBusy() override { calls << QStringLiteral("hide"); }
    PanelAnswer ShowMessagePanel(const QString& message, bool, bool, PanelAnswer) override {
        calls << QStringLiteral("prompt");
        prompts << message;
        return answers.isEmpty() ? PanelAnswer::Ok : answers.takeFirst();
    }
    void UpdateStatusBar(const QString& status) override { statuses << status; }
    void ClearGridPanel() override {}
    void bindGrid(std::shared_ptr<db::Recordset>) override {}
    void rebindGrid() override {}
    void PrepareGridColumns() override {}
    void SetProgressVisible(bool visible) override {
        calls << QStringLiteral("progress=%1").arg(visible);
    }
    void SetProgressValue(int value) override {
        if (progress.size() < 1000) progress << value;
        lastProgress = value;
    }
    void DoEvents() override { ++events; }
    QStringList dialogPaths; // save dialog answers in order; "" (cancel) when none is left
    QStringList dialogs;     // title|filter of each save dialog shown
    QString ShowSaveDialog(const QString& title, const QString& filter, const QString&) override {
        dialogs << title + QLatin1Char('|') + filter;
        return dialogPaths.isEmpty() ? QString() : dialogPaths.takeFirst();
    }
    bool OpenWithDesktop(const QString& path) override {
        calls << QStringLiteral("open");
        opened << path;
        return desktopHasHandler;
    }
};
