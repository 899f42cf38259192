#include "BatchFileLoader.h"

#include "BatchFeedback.h"
#include "BatchTexts.h"
#include "common/BlankText.h"
#include "common/ErrorReport.h"
#include "common/FilePaths.h"
#include "options/SettingsKeys.h"
#include "transfer/LineReader.h"
#include "transfer/TextEncoding.h"
#include "transfer/TransferErrors.h"
#include "transfer/TransferTexts.h"

#include <QFile>
#include <QFileInfo>

QString BatchDialogFolder(const QString& stored, const QString& programFolder) {
    if (stored == QLatin1String("0")) return QString();
    return QFileInfo(stored).isDir() ? stored : programFolder;
}

BatchFileContents ReadBatchFileText(const QString& path) {
    BatchFileContents contents;
    const auto failed = [&contents](const db::Error& e) {
        contents.errorReport = ErrorReport(e.Number, e.Source, e.Description);
        return contents;
    };
    FileEncoding encoding;
    db::Error error;
    if (!detectFileEncoding(path, encoding, error)) return failed(error);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(encoding.bomLength))
        return failed(transfer_error::fileAccess(path, file.errorString()));
    TextDecoder decoder(encoding.encoding, encoding.keepsBytes);
    LineReader lines([&file](char* data, qint64 maxSize) { return file.read(data, maxSize); });
    std::string_view line;
    // Leading empty lines vanish: a line read into an empty text becomes the whole text.
    while (lines.readLine(line)) {
        if (!contents.text.isEmpty()) contents.text += batchtext::kCrLf;
        contents.text += decoder.decode(line);
    }
    if (lines.failed()) return failed(transfer_error::fileAccess(path, file.errorString()));
    contents.ok = true;
    return contents;
}

void ReadBatchFile(BatchFeedback& feedback, const QString& programFolder) {
    using namespace batchtext;
    feedback.SetControlsEnabled(false);
    const QString folder = BatchDialogFolder(ReadSetting(keys::ImportDirFile), programFolder);
    const QString chosen = feedback.showOpenDialog(kReadFileTitle, kReadFileFilter, folder);
    if (!trimBlanks(chosen).isEmpty()) {
        const QFileInfo info(chosen);
        if (!info.isFile()) {
            feedback.showMessage(info.exists() ? kNotAFile : kFileMissing);
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
