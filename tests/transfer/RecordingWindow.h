#pragma once

#include "db/Recordset.h"
#include "query/WindowFeedback.h"

#include <QStringList>
#include <functional>
#include <memory>

// The window seam for the transfer tests: records what the operations show and answers the
// message panel and the file dialogs from a script.
class RecordingWindow : public WindowFeedback {
public:
    QStringList calls;
    QStringList statuses;
    QStringList prompts;
    QList<PanelAnswer> answers; // panel answers in order; the default when none is left
    QStringList dialogPaths;    // dialog answers in order; "" (cancel) when none is left
    QStringList dialogs;        // "save|title|filter|folder" per dialog shown
    QList<int> progress;
    bool progressVisible = false;
    bool enabled = true;
    // Escape pressed: the running loop's abort request.
    bool abort = false;
    int rebinds = 0;
    // Runs at every DoEvents: the place to press Escape or stop a server mid-loop.
    std::function<void()> onEvents;
    // Runs when the message panel shows, before it answers.
    std::function<void(const QString&)> onPrompt;

    bool abortRequested() const override { return abort; }
    void clearAbortRequest() override { abort = false; }
    void SetWindowEnabled(bool e) override {
        enabled = e;
        calls << QStringLiteral("enabled=%1").arg(e);
        if (e) progressVisible = false;
    }
    void ShowBusy(const QString&, bool ok, bool cancel) override {
        calls << QStringLiteral("busy %1%2").arg(int(ok)).arg(int(cancel));
    }
    void HideBusy() override { calls << QStringLiteral("hide"); }
    PanelAnswer ShowMessagePanel(const QString& message, bool, bool,
                                 PanelAnswer defaultAnswer) override {
        prompts << message;
        calls << QStringLiteral("prompt");
        if (onPrompt) onPrompt(message);
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
    void UpdateStatusBar(const QString& status) override { statuses << status; }
    void ClearGridPanel() override {}
    // The grid shown a result again: bound to one read anew, or told to read its own again.
    void bindGrid(std::shared_ptr<db::Recordset>) override { ++rebinds; }
    void rebindGrid() override { ++rebinds; }
    void PrepareGridColumns() override {}
    void SetProgressVisible(bool v) override { progressVisible = v; }
    void SetProgressValue(int v) override { progress << v; }
    void DoEvents() override {
        if (onEvents) onEvents();
    }
    QString ShowSaveDialog(const QString& title, const QString& filter,
                           const QString& dir) override {
        return dialog(QStringLiteral("save"), title, filter, dir);
    }
    QString ShowOpenDialog(const QString& title, const QString& filter,
                           const QString& dir) override {
        return dialog(QStringLiteral("open"), title, filter, dir);
    }
    // The lists offered to choose from; each answered with choice (-1 cancels).
    QList<QStringList> choices;
    int choice = 0;
    int ChooseItem(const QString& prompt, const QStringList& items) override {
        choices << (QStringList{prompt} + items);
        return choice;
    }

private:
    QString dialog(const QString& kind, const QString& title, const QString& filter,
                   const QString& dir) {
        dialogs << QStringList{kind, title, filter, dir}.join(QLatin1Char('|'));
        return dialogPaths.isEmpty() ? QString() : dialogPaths.takeFirst();
    }
};
