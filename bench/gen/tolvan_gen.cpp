// tolvan-gen: deterministic test data for benchmarks and large-result tests.
//
//   tolvan-gen sqlite OUT.db  [ROWS]   SQLite file with table t
//   tolvan-gen csv    OUT.csv [ROWS]   same rows as CSV for PostgreSQL COPY
//   tolvan-gen pgsql                   CREATE TABLE t for PostgreSQL
//
// ROWS defaults to 1000000. Row N depends only on N, so a smaller file is a
// prefix of a larger one and the SQLite and CSV outputs hold identical data.
//
// CSV: no header, LF row ends. A NULL note is an unquoted empty field and
// every non-NULL note is quoted, so with COPY's csv defaults (NULL '') an
// empty note stays distinct from NULL. flag is written as 0/1, which the
// PostgreSQL boolean type accepts as input, so the PG column stays boolean.

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::uint64_t kSeed = 0x70C0FFEE2024ULL;
constexpr long long kDefaultRows = 1000000;

struct SplitMix64 {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
};

constexpr std::array<std::string_view, 40> kFamily = {
    "佐藤", "鈴木", "高橋",   "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
    "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林",   "斎藤", "清水",
    "山崎", "森",   "池田",   "橋本", "阿部", "石川", "山下", "中島", "石井", "小川",
    "前田", "岡田", "長谷川", "藤田", "後藤", "近藤", "村上", "遠藤", "青木", "坂本",
};

constexpr std::array<std::string_view, 40> kGiven = {
    "太郎", "一郎", "健太", "翔",     "大輔", "拓也", "直樹", "誠",     "浩二",   "隆",
    "蓮",   "悠真", "湊",   "陽斗",   "樹",   "大和", "修",   "勇気",   "学",     "茂",
    "花子", "陽子", "美咲", "さくら", "結衣", "葵",   "陽菜", "凛",     "真由美", "恵子",
    "由美", "千尋", "彩",   "芽依",   "優花", "智子", "裕子", "あゆみ", "かおり", "ひとみ",
};

constexpr std::array<std::string_view, 12> kPlainNotes = {
    "定期発注分",
    "検収済み",
    "請求書払い（月末締め翌月末払い）",
    "担当者不在のため後日連絡",
    "見積書の内容で確定",
    "サンプル出荷",
    "返品・交換対応",
    "代引き",
    "Web経由の注文",
    "FAX受注",
    "初回取引",
    "年間契約に基づく出荷",
};

// Awkward notes: separators, quotes and line breaks that CSV and grid code must survive.
constexpr std::array<std::string_view, 10> kTrickyNotes = {
    "納品先変更, 倉庫Bへ",
    "単価改定済み、旧単価1,200円",
    "\"特急\"扱い",
    "品名を「\"A\"タイプ」に変更, 数量据え置き",
    "1行目\n2行目",
    "備考:\r\n午前着指定",
    "住所: 東京都千代田区1-2-3, \"本社ビル\"\n5F 受付",
    "\"",
    ",",
    "末尾に改行\n",
};

constexpr std::string_view kLongNote =
    "長文備考：本件は前回納品分の不具合に伴う再出荷であり、検品時に外装の破損が"
    "確認された場合は受領せず、運送会社へその場で連絡のうえ弊社営業部まで写真を"
    "送付してください。以降の出荷は通常どおりです。";

struct Row {
    long long id = 0;
    char code[16] = {};
    std::string name;
    bool noteNull = false;
    std::string note;
    char amount[32] = {};
    char created[48] = {};
    int flag = 0;
};

// Days since 1970-01-01 to civil date (proleptic Gregorian).
void civilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

void makeRow(long long id, Row& r) {
    SplitMix64 rng{kSeed ^ (static_cast<std::uint64_t>(id) * 0xD1B54A32D192ED03ULL)};
    r.id = id;

    // Each step is a bijection on [0, 10^8), so codes look shuffled yet stay
    // unique up to 100 million rows.
    std::uint64_t code = (static_cast<std::uint64_t>(id) * 48271947ULL + 12345ULL) % 100000000ULL;
    std::uint64_t reversed = 0;
    for (int i = 0; i < 8; ++i, code /= 10)
        reversed = reversed * 10 + code % 10;
    code = (reversed * 7919ULL + 777ULL) % 100000000ULL;
    std::snprintf(r.code, sizeof r.code, "%08llu", static_cast<unsigned long long>(code));

    r.name.assign(kFamily[rng.below(kFamily.size())]);
    r.name.append("\u3000");
    r.name.append(kGiven[rng.below(kGiven.size())]);

    const auto kind = rng.below(100);
    r.noteNull = kind < 10;
    r.note.clear();
    if (r.noteNull || kind < 12) {
        // NULL or deliberately empty.
    } else if (kind < 40) {
        r.note.assign(kTrickyNotes[rng.below(kTrickyNotes.size())]);
    } else if (kind < 42) {
        r.note.assign(kLongNote);
    } else {
        r.note.assign(kPlainNotes[rng.below(kPlainNotes.size())]);
        if (rng.below(3) == 0) {
            char buf[32];
            std::snprintf(buf, sizeof buf, " #%llu",
                          static_cast<unsigned long long>(rng.below(100000)));
            r.note.append(buf);
        }
    }

    // Up to 9,999,999.99 with a few negatives (returns); DECIMAL(12,2) has room.
    const auto cents = static_cast<long long>(rng.below(1000000000ULL));
    const bool negative = rng.below(20) == 0;
    std::snprintf(r.amount, sizeof r.amount, "%s%lld.%02lld", negative ? "-" : "", cents / 100,
                  cents % 100);

    // 2015-01-01 00:00:00 plus up to ten years.
    constexpr long long kStartDays = 16436;
    const auto secs = static_cast<long long>(rng.below(10LL * 365 * 86400));
    int y;
    unsigned mo, d;
    civilFromDays(kStartDays + secs / 86400, y, mo, d);
    const long long sod = secs % 86400;
    std::snprintf(r.created, sizeof r.created, "%04d-%02u-%02u %02lld:%02lld:%02lld", y, mo, d,
                  sod / 3600, sod / 60 % 60, sod % 60);

    r.flag = static_cast<int>(rng.below(2));
}

bool parseRows(const char* s, long long& rows) {
    const char* end = s + std::strlen(s);
    auto [p, ec] = std::from_chars(s, end, rows);
    return ec == std::errc() && p == end && rows >= 0;
}

int usage() {
    std::fputs("usage: tolvan-gen sqlite OUT.db [ROWS]\n"
               "       tolvan-gen csv OUT.csv [ROWS]\n"
               "       tolvan-gen pgsql\n",
               stderr);
    return 2;
}

bool sqliteExec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "tolvan-gen: %s\n", err ? err : "sqlite error");
        sqlite3_free(err);
        return false;
    }
    return true;
}

int writeSqlite(const char* path, long long rows) {
    // Start from an empty file so reruns never append to old data.
    std::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path, &db) != SQLITE_OK) {
        std::fprintf(stderr, "tolvan-gen: cannot open %s: %s\n", path, sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    const bool ok = sqliteExec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                                   "CREATE TABLE t ("
                                   " id INTEGER PRIMARY KEY,"
                                   " code VARCHAR(10) NOT NULL,"
                                   " name NVARCHAR(40) NOT NULL,"
                                   " note VARCHAR(200),"
                                   " amount DECIMAL(12,2) NOT NULL,"
                                   " created TIMESTAMP NOT NULL,"
                                   " flag BOOLEAN NOT NULL);"
                                   "BEGIN;");
    sqlite3_stmt* st = nullptr;
    if (!ok || sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?,?,?,?,?,?,?)", -1, &st, nullptr) !=
                   SQLITE_OK) {
        if (ok) std::fprintf(stderr, "tolvan-gen: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }

    Row r;
    for (long long id = 1; id <= rows; ++id) {
        makeRow(id, r);
        sqlite3_bind_int64(st, 1, r.id);
        sqlite3_bind_text(st, 2, r.code, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, r.name.data(), static_cast<int>(r.name.size()), SQLITE_STATIC);
        if (r.noteNull)
            sqlite3_bind_null(st, 4);
        else
            sqlite3_bind_text(st, 4, r.note.data(), static_cast<int>(r.note.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 5, r.amount, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 6, r.created, -1, SQLITE_STATIC);
        sqlite3_bind_int(st, 7, r.flag);
        if (sqlite3_step(st) != SQLITE_DONE) {
            std::fprintf(stderr, "tolvan-gen: insert failed at row %lld: %s\n", id,
                         sqlite3_errmsg(db));
            sqlite3_finalize(st);
            sqlite3_close(db);
            return 1;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    const bool committed = sqliteExec(db, "COMMIT;");
    if (sqlite3_close(db) != SQLITE_OK || !committed) return 1;
    return 0;
}

void appendQuoted(std::string& out, std::string_view s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

int writeCsv(const char* path, long long rows) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::perror(path);
        return 1;
    }
    std::string buf;
    buf.reserve(1 << 20);
    Row r;
    char num[24];
    for (long long id = 1; id <= rows; ++id) {
        makeRow(id, r);
        auto [p, ec] = std::to_chars(num, num + sizeof num, r.id);
        (void)ec;
        buf.append(num, p);
        buf.push_back(',');
        buf.append(r.code);
        buf.push_back(',');
        appendQuoted(buf, r.name);
        buf.push_back(',');
        if (!r.noteNull) appendQuoted(buf, r.note);
        buf.push_back(',');
        buf.append(r.amount);
        buf.push_back(',');
        buf.append(r.created);
        buf.push_back(',');
        buf.push_back(r.flag ? '1' : '0');
        buf.push_back('\n');
        if (buf.size() >= (1 << 20) - 1024) {
            if (std::fwrite(buf.data(), 1, buf.size(), f) != buf.size()) break;
            buf.clear();
        }
    }
    std::fwrite(buf.data(), 1, buf.size(), f);
    const bool bad = std::ferror(f) != 0;
    if (std::fclose(f) != 0 || bad) {
        std::fprintf(stderr, "tolvan-gen: write error on %s\n", path);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view mode = argv[1];

    if (mode == "pgsql") {
        if (argc != 2) return usage();
        std::fputs("CREATE TABLE t (\n"
                   "    id      integer PRIMARY KEY,\n"
                   "    code    varchar(10) NOT NULL,\n"
                   "    name    varchar(40) NOT NULL,\n"
                   "    note    varchar(200),\n"
                   "    amount  numeric(12,2) NOT NULL,\n"
                   "    created timestamp NOT NULL,\n"
                   "    flag    boolean NOT NULL\n"
                   ");\n",
                   stdout);
        return 0;
    }

    if ((mode != "sqlite" && mode != "csv") || argc < 3 || argc > 4) return usage();
    long long rows = kDefaultRows;
    if (argc == 4 && !parseRows(argv[3], rows)) {
        std::fprintf(stderr, "tolvan-gen: bad row count: %s\n", argv[3]);
        return 2;
    }
    return mode == "sqlite" ? writeSqlite(argv[2], rows) : writeCsv(argv[2], rows);
}
