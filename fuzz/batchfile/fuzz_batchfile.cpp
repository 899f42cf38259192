// Loading a batch file into the command box: character set, line ends, leading empty lines;
// the loaded text then goes through the line parser as a run would.
#include "FuzzFile.h"
#include "batch/BatchFileLoader.h"
#include "batch/BatchLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile input;
    input.write(std::string_view(reinterpret_cast<const char*>(data), size));
    const BatchFileContents contents = ReadBatchFileText(input.path());
    if (!contents.ok) {
        FUZZ_CHECK(!contents.errorReport.isEmpty());
        return 0;
    }
    const QString& text = contents.text;
    FUZZ_CHECK(!text.startsWith(QLatin1String("\r\n")));
    // Every line end of the file, whichever it was, became CR LF.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r')) FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n');
        if (text[i] == QLatin1Char('\n')) FUZZ_CHECK(i > 0 && text[i - 1] == '\r');
    }
    BatchLineReader lines(text);
    while (!lines.atEnd()) {
        const BatchLine line = ParseBatchLine(lines.next());
        FUZZ_CHECK(!line.line.contains(QLatin1Char('\r')) && !line.line.contains('\n'));
    }
    return 0;
}
