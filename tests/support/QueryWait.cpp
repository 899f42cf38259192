#include "QueryWait.h"

#include "query/modExecuteQuery.h"

#include <QEventLoop>
#include <memory>

namespace {
// What a wait learns; the operation may outlive the wait (the application quitting ends it
// first), so it holds this and not the waiting frame.
struct Outcome {
    bool ended = false;
    bool ok = false;
    QEventLoop* loop = nullptr;
};

// start is given the outcome to fill; its operation may end at once.
template <typename Start> bool waitFor(Start start) {
    QEventLoop loop;
    auto outcome = std::make_shared<Outcome>();
    outcome->loop = &loop;
    start(outcome);
    if (!outcome->ended) loop.exec();
    outcome->loop = nullptr;
    return outcome->ended && outcome->ok;
}

std::function<void(bool)> ender(const std::shared_ptr<Outcome>& outcome) {
    return [outcome](bool ok) {
        outcome->ended = true;
        outcome->ok = ok;
        if (outcome->loop) outcome->loop->quit();
    };
}
} // namespace

bool executeQueryAndWait(ProgramState& state, WindowFeedback& feedback, const QString& statement) {
    return waitFor([&](const std::shared_ptr<Outcome>& outcome) {
        ExecuteQuery(state, feedback, statement, ender(outcome));
    });
}

bool rereadResultAndWait(ProgramState& state, WindowFeedback& feedback) {
    return waitFor([&](const std::shared_ptr<Outcome>& outcome) {
        RereadResult(state, feedback, ender(outcome));
    });
}

void requeryResultAndWait(ProgramState& state, WindowFeedback& feedback) {
    waitFor([&](const std::shared_ptr<Outcome>& outcome) {
        RequeryResult(state, feedback, [end = ender(outcome)] { end(true); });
    });
}

bool executeQueryBoxAndWait(ProgramState& state, WindowFeedback& feedback, const QString& queryText,
                            const QString& selectedText,
                            std::function<void(const QString&)> addToHistory) {
    return waitFor([&](const std::shared_ptr<Outcome>& outcome) {
        ExecuteQueryBox(state, feedback, queryText, selectedText, std::move(addToHistory),
                        ender(outcome));
    });
}
