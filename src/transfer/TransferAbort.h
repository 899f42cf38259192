#pragma once

#include <functional>

class TransferFeedback;

// A stop the user asks for while a transfer runs (Escape, a Cancel or 中止 button, closing the
// window): the transfer looks after every row. The rows it holds are stored first, then the
// user is asked kAbortQuestion: OK stops after the rows so far, Cancel forgets the request and
// the transfer goes on.
struct AbortRequest {
    // A stop was asked for since the last question.
    std::function<bool()> requested;
    // Asks kAbortQuestion: true to stop. Going on, it forgets the request.
    std::function<bool()> confirm;
};

enum class AfterRow { GoOn, Stop, Failed };

// What a transfer does after a row. storeHeld, when given, stores the rows held before the
// question; its failure is Failed. An empty request never stops.
AfterRow checkAbort(const AbortRequest& abort, const std::function<bool()>& storeHeld = {});

// The main window's request: bAbort, asked in its message panel, the busy panel with its Cancel
// shown again when the transfer goes on.
AbortRequest windowAbort(TransferFeedback& feedback);
