#pragma once

#include <QString>
#include <memory>

namespace db {
class Recordset;
}

// What the main window's operations need of the window: the feedback routines and the grid.
// The window implements it; tests implement a recording fake.
class WindowFeedback {
public:
    virtual ~WindowFeedback() = default;
    virtual void SetWindowEnabled(bool enabled) = 0;
    virtual void ShowBusy(const QString& message, bool okEnabled, bool cancelEnabled) = 0;
    virtual void HideBusy() = 0;
    // Waits for a button: "1" for OK, "2" for Cancel.
    virtual QString ShowMessagePanel(const QString& message, bool okEnabled, bool cancelEnabled) = 0;
    virtual void UpdateStatusBar(const QString& status) = 0;
    virtual void ClearGridPanel() = 0;
    // The grid shows this record set (null: nothing).
    virtual void bindGrid(std::shared_ptr<db::Recordset> rs) = 0;
    // The grid reads columns and rows again from the record set it shows.
    virtual void rebindGrid() = 0;
    virtual void PrepareGridColumns() = 0;
};
