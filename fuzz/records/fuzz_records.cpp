// The reading side of a CSV/TAB import: the character set decision, lines, records and the
// decoding of each field, for both separators and both character sets.
#include "FuzzFile.h"
#include "transfer/LineReader.h"
#include "transfer/RecordReader.h"
#include "transfer/TextEncoding.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
struct Reading {
    std::vector<std::vector<std::string>> records; // a blank line reads as no fields
    std::vector<std::vector<bool>> quoted;         // each field's quotes, which tell "" from Null
    bool failed = false;
    bool operator==(const Reading&) const = default;
};

// The records of text delivered piece bytes per read, as a slow pipe or a short read would.
Reading readRecords(std::string_view text, char separator, TextEncoding encoding, size_t piece) {
    size_t pos = 0;
    LineReader lines([&](char* data, qint64 max) {
        const size_t n = std::min({size_t(max), piece, text.size() - pos});
        std::memcpy(data, text.data() + pos, n);
        pos += n;
        return qint64(n);
    });
    RecordReader reader(lines, separator, encoding);
    Reading out;
    for (;;) {
        const RecordReader::Status status = reader.next();
        if (status == RecordReader::End || status == RecordReader::ReadFailed) {
            out.failed = status == RecordReader::ReadFailed;
            return out;
        }
        std::vector<std::string> fields;
        std::vector<bool> quoted;
        if (status == RecordReader::Record) {
            FUZZ_CHECK(reader.fieldCount() > 0);
            for (int i = 0; i < reader.fieldCount(); ++i) {
                fields.emplace_back(reader.field(i));
                quoted.push_back(reader.fieldQuoted(i));
            }
        }
        out.records.push_back(std::move(fields));
        out.quoted.push_back(std::move(quoted));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the separator and how many bytes each read delivers.
    const char separator = (data[0] & 1) ? '\t' : ',';
    const size_t piece = 1 + (data[0] >> 1);
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);

    static FuzzFile input;
    input.write(file);
    FileEncoding encoding;
    db::Error error;
    const bool detected = detectFileEncoding(input.path(), encoding, error);
    const std::string_view text = file.substr(size_t(encoding.bomLength));
    bool invalid = false;
    const bool utf8 = validUtf8Prefix(text, invalid) == text.size() && !invalid;
    // UTF-8 with bytes that are not is read as UTF-8 too, keeping those bytes.
    const bool keeps = detected && encoding.encoding == TextEncoding::Utf8 && encoding.keepsBytes;
    if (detected && encoding.encoding == TextEncoding::Utf8) FUZZ_CHECK(utf8 || keeps);
    if (utf8) FUZZ_CHECK(detected && encoding.encoding == TextEncoding::Utf8);
    if (!detected) FUZZ_CHECK(!error.Description.isEmpty());

    // A file of neither character set is not imported; its records are still read, as UTF-8.
    const TextEncoding charset = detected ? encoding.encoding : TextEncoding::Utf8;
    const Reading whole = readRecords(text, separator, charset, text.size() + 1);
    FUZZ_CHECK(!whole.failed);
    FUZZ_CHECK(readRecords(text, separator, charset, piece) == whole);

    // The text as one value between quotes after a first field, its quotes doubled, as the
    // export writes it: every byte comes back, blanks beside its line breaks included.
    std::string quoted = std::string("x") + separator + '"';
    for (const char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    quoted += "\"\r\n";
    const Reading value = readRecords(quoted, separator, charset, piece);
    FUZZ_CHECK(!value.failed && value.records.size() == 1);
    FUZZ_CHECK(value.records[0] == std::vector<std::string>({"x", std::string(text)}));
    FUZZ_CHECK(value.quoted[0] == std::vector<bool>({false, true}));

    TextDecoder fromUtf8(TextEncoding::Utf8, keeps);
    TextDecoder fromCp932(TextEncoding::Cp932);
    TextEncoder toUtf8(TextEncoding::Utf8);
    TextEncoder toCp932(TextEncoding::Cp932);
    for (const auto& record : whole.records) {
        for (const std::string& field : record) {
            const QString a = fromUtf8.decode(field);
            const QString b = fromCp932.decode(field);
            std::string back;
            toUtf8.append(a, back);
            // Valid text, and any field of a file whose odd bytes are kept, comes back whole.
            if (utf8 || keeps) FUZZ_CHECK(back == field);
            back.clear();
            toCp932.append(b, back);
        }
    }
    return 0;
}
