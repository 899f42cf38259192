#include "BatchFileLoader.h"

#include "BatchFeedback.h"
#include "BatchFileText.h"
#include "BatchTexts.h"
#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "modKorvel.h"

#include <QFile>
#include <QFileInfo>

namespace {
// What a failed open or read reports: the run-time error "Path/File access error".
constexpr qint32 kFileAccessError = 75;
} // namespace

QString JoinBatchFileLines(QStringView fileText) {
    QString text;
    qsizetype pos = 0;
    const qsizetype size = fileText.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && fileText[end] != QLatin1Char('\r') &&
               fileText[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = fileText.mid(pos, end - pos);
        if (end < size && fileText[end] == QLatin1Char('\r') && end + 1 < size &&
            fileText[end + 1] == QLatin1Char('\n'))
            pos = end + 2;
        else
            pos = end + 1;
        if (!text.isEmpty()) text += batchtext::kCrLf;
        text += line;
    }
    return text;
}

QString BatchDialogFolder(const QString& stored, const QString& programFolder) {
    if (stored == QLatin1String("0")) return QString();
    return QFileInfo(stored).isDir() ? stored : programFolder;
}

BatchFileContents ReadBatchFileText(const QString& path) {
    BatchFileContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.errorReport = ErrorReport(kFileAccessError, kApplicationName, file.errorString());
        return contents;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        contents.errorReport = ErrorReport(kFileAccessError, kApplicationName, file.errorString());
        return contents;
    }
    contents.ok = true;
    contents.text = JoinBatchFileLines(DecodeBatchFile(bytes));
    return contents;
}

void ReadBatchFile(BatchFeedback& feedback, const QString& programFolder) {
    using namespace batchtext;
    feedback.SetControlsEnabled(false);
    const QString folder = BatchDialogFolder(ReadSetting(keys::ImportDirFile), programFolder);
    const QString chosen = feedback.showOpenDialog(kReadFileTitle, kReadFileFilter, folder);
    if (!trimBlanks(chosen).isEmpty()) {
        if (!QFileInfo(chosen).isFile()) {
            feedback.showMessage(kFileMissing);
        } else {
            WriteSetting(keys::ImportDirFile, FolderOfPath(chosen));
            const BatchFileContents contents = ReadBatchFileText(chosen);
            if (contents.ok)
                feedback.setCommandText(contents.text);
            else
                feedback.showMessage(contents.errorReport);
        }
    }
    feedback.SetControlsEnabled(true);
}
