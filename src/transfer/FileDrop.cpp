#include "FileDrop.h"

#include "BlankText.h"
#include "TransferTexts.h"
#include "modImport.h"

namespace {
constexpr qsizetype kShortestPath = 6;
}

QString dropSeparator(const QString& path) {
    if (path.size() < kShortestPath) return QString();
    const QString extension = path.right(4).toUpper();
    if (extension == QLatin1String(".CSV")) return kComma;
    if (extension == QLatin1String(".TAB")) return kTab;
    return QString();
}

void ImportDroppedFile(ProgramState& state, WindowFeedback& feedback, const QString& path) {
    feedback.SetWindowEnabled(false);
    feedback.SetProgressVisible(true);
    const QString separator = dropSeparator(path);
    if (separator.isEmpty())
        feedback.ShowMessagePanel(kDropRefused, true, false);
    else
        ImportFile(state, feedback, path, separator);
    feedback.SetWindowEnabled(true);
}

void ImportDroppedFiles(ProgramState& state, WindowFeedback& feedback, const QStringList& paths) {
    for (const QString& path : paths)
        ImportDroppedFile(state, feedback, trimBlanks(path));
}
