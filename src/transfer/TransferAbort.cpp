#include "TransferAbort.h"

#include "TransferTexts.h"
#include "common/OperationFeedback.h"

AfterRow checkAbort(const AbortRequest& abort, const std::function<bool()>& storeHeld) {
    if (!abort.requested || !abort.requested()) return AfterRow::GoOn;
    // Nothing stays held while the user takes his time over the question.
    if (storeHeld && !storeHeld()) return AfterRow::Failed;
    return abort.confirm && abort.confirm() ? AfterRow::Stop : AfterRow::GoOn;
}

AbortRequest windowAbort(TransferFeedback& feedback) {
    return {[&feedback] { return feedback.abortRequested(); },
            [&feedback] {
                if (feedback.ShowMessagePanel(kAbortQuestion, true, true) != PanelAnswer::Cancel)
                    return true;
                feedback.clearAbortRequest();
                feedback.ShowBusy(QString(), false, true);
                return false;
            }};
}
