#include "bench/BenchData.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>

#include <algorithm>
#include <numeric>
#include <cstdio>
#include <optional>
#include <string>
#include <random>
#include <stdexcept>
#include <vector>

namespace bench {

void Sqlite::Closer::operator()(sqlite3* db) const noexcept {
    sqlite3_close_v2(db);
}

namespace {

void check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw std::runtime_error(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

struct Statement {
    Statement(sqlite3* db, const char* sql) : db_(db) { check(db, sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr)); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void step() {
        check(db_, sqlite3_step(stmt_));
        check(db_, sqlite3_reset(stmt_));
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void bindText(sqlite3_stmt* stmt, int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

const char16_t* const kPlaces[] = {u"青葉", u"桜ヶ丘", u"緑町", u"港南", u"東町", u"西原", u"北山", u"南台", u"中央", u"旭"};

QString place(std::mt19937_64& rng) {
    return QString::fromUtf16(kPlaces[rng() % std::size(kPlaces)]);
}

} // namespace

Sqlite Open(const QString& path, const QString& key, bool create) {
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Sqlite db{std::unique_ptr<sqlite3, Sqlite::Closer>(raw)};
    check(raw, rc);
    const QByteArray k = key.toUtf8();
    check(raw, sqlite3_key(raw, k.constData(), static_cast<int>(k.size())));
    check(raw, sqlite3_exec(raw, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr));
    return db;
}

void Exec(sqlite3* db, const char* sql) {
    check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

void Generate(const DataShape& shape, const QString& sourcePath, const QString& sourceKey,
              const QString& targetPath, const QString& targetKey) {
    std::mt19937_64 rng(shape.seed);
    const std::int64_t n = shape.rows;

    // Target keys: distinct numbers in shuffled storage order, a few repeated.
    std::vector<std::int64_t> targetKeys;
    targetKeys.reserve(static_cast<size_t>(n));
    for (std::int64_t i = 0; i < n; ++i)
        targetKeys.push_back(i < 20 || rng() % 50 != 0 ? 1000 + i * 3 : 1000 + (static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(i))) * 3);
    std::shuffle(targetKeys.begin(), targetKeys.end(), rng);

    {
        Sqlite db = Open(targetPath, targetKey, true);
        Exec(db.get(), "CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT, 階数 INTEGER)");
        if (shape.targetIndex)
            Exec(db.get(), "CREATE INDEX 棟マスタ_棟番号 ON 棟マスタ (棟番号)");
        Exec(db.get(), "BEGIN");
        Statement insert(db.get(), "INSERT INTO 棟マスタ VALUES (?, ?, ?, '未設定', ?)");
        for (std::int64_t key : targetKeys) {
            sqlite3_bind_int64(insert.stmt_, 1, key);
            bindText(insert.stmt_, 2, place(rng) + QStringLiteral(u"ハイツ") + QString::number(key));
            bindText(insert.stmt_, 3, place(rng) + QStringLiteral(u"小学校"));
            sqlite3_bind_int64(insert.stmt_, 4, static_cast<std::int64_t>(rng() % 15 + 1));
            insert.step();
        }
        Exec(db.get(), "COMMIT");
    }
    {
        Sqlite db = Open(sourcePath, sourceKey, true);
        Exec(db.get(), "CREATE TABLE 棟マスタ (棟番号, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT)");
        Exec(db.get(), "BEGIN");
        Statement insert(db.get(), "INSERT INTO 棟マスタ VALUES (?, ?, ?, ?)");
        for (std::int64_t i = 0; i < n; ++i) {
            const std::uint64_t roll = rng() % 100;
            const std::int64_t known = n > 0 ? targetKeys[rng() % static_cast<std::uint64_t>(n)] : 1000;
            if (roll < 1)
                sqlite3_bind_null(insert.stmt_, 1);                          // Null reads as building 0
            else if (roll < 3)
                sqlite3_bind_double(insert.stmt_, 1, static_cast<double>(known) + 0.5); // rounds half to even
            else if (roll < 13)
                sqlite3_bind_int64(insert.stmt_, 1, known + 1);              // not in the target
            else
                sqlite3_bind_int64(insert.stmt_, 1, known);                  // duplicates arise by chance
            bindText(insert.stmt_, 2, place(rng) + QStringLiteral(u"ハイツ"));
            bindText(insert.stmt_, 3, place(rng) + QStringLiteral(u"小学校"));
            if (rng() % 100 == 0)
                sqlite3_bind_null(insert.stmt_, 4);
            else
                bindText(insert.stmt_, 4, place(rng) + QStringLiteral(u"中学校"));
            insert.step();
        }
        Exec(db.get(), "COMMIT");
    }
}

QString GrownJunior(std::int64_t key) {
    return QStringLiteral(u"青葉中学校") + QString::number(key);
}

void GenerateGrowing(std::int64_t rows, std::uint64_t seed, const QString& sourcePath, const QString& sourceKey,
                     const QString& targetRowsPath, const QString& targetPath, const QString& targetKey) {
    std::mt19937_64 rng(seed);
    {
        Sqlite db = Open(targetPath, targetKey, true);
        Exec(db.get(), "CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT)");
        Exec(db.get(), "CREATE INDEX 棟マスタ_棟番号 ON 棟マスタ (棟番号)");
        Exec(db.get(), "BEGIN");
        Statement insert(db.get(), "INSERT INTO 棟マスタ VALUES (?, ?, ?, '未設定')");
        QByteArray tsv;
        for (std::int64_t key = 1; key <= rows; ++key) {
            // The names hold no tab, line end or backslash: written as they are.
            const QString name = place(rng) + QStringLiteral(u"ハイツ") + QString::number(key);
            const QString school = place(rng) + QStringLiteral(u"小学校");
            sqlite3_bind_int64(insert.stmt_, 1, key);
            bindText(insert.stmt_, 2, name);
            bindText(insert.stmt_, 3, school);
            insert.step();
            tsv += QByteArray::number(static_cast<qlonglong>(key)) + '\t' + name.toUtf8() + '\t' + school.toUtf8() +
                   '\t' + QStringLiteral(u"未設定").toUtf8() + '\n';
        }
        Exec(db.get(), "COMMIT");
        QFile file(targetRowsPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(tsv) != tsv.size() || !file.flush())
            throw std::runtime_error("cannot write " + targetRowsPath.toStdString());
    }
    std::vector<std::int64_t> keys(static_cast<std::size_t>(rows));
    std::iota(keys.begin(), keys.end(), std::int64_t{1});
    std::shuffle(keys.begin(), keys.end(), rng);
    Sqlite db = Open(sourcePath, sourceKey, true);
    Exec(db.get(), "CREATE TABLE 棟マスタ (棟番号, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT)");
    Exec(db.get(), "BEGIN");
    Statement insert(db.get(), "INSERT INTO 棟マスタ VALUES (?, ?, ?, ?)");
    for (const std::int64_t key : keys) {
        sqlite3_bind_int64(insert.stmt_, 1, key);
        bindText(insert.stmt_, 2, place(rng) + QStringLiteral(u"ハイツ"));
        bindText(insert.stmt_, 3, place(rng) + QStringLiteral(u"小学校"));
        bindText(insert.stmt_, 4, GrownJunior(key));
        insert.step();
    }
    Exec(db.get(), "COMMIT");
}

void WriteSourceRows(const QString& sourcePath, const QString& sourceKey, const QString& tsvPath) {
    Sqlite db = Open(sourcePath, sourceKey, false);
    Statement select(db.get(), "SELECT 棟番号, 棟名称, 小学校区, 中学校区 FROM 棟マスタ ORDER BY rowid");
    std::string out;
    const auto field = [&](int i) {
        switch (sqlite3_column_type(select.stmt_, i)) {
        case SQLITE_NULL: out += "\\N"; return;
        case SQLITE_INTEGER: out += std::to_string(sqlite3_column_int64(select.stmt_, i)); return;
        case SQLITE_FLOAT: {
            // 17 significant digits read back as the same double.
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", sqlite3_column_double(select.stmt_, i));
            out += text;
            return;
        }
        default: {
            const auto* at = reinterpret_cast<const char*>(sqlite3_column_text(select.stmt_, i));
            for (const char* end = at + sqlite3_column_bytes(select.stmt_, i); at != end; ++at) {
                switch (*at) {
                case '\\': out += "\\\\"; break;
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                default: out += *at;
                }
            }
        }
        }
    };
    int rc;
    while ((rc = sqlite3_step(select.stmt_)) == SQLITE_ROW) {
        for (int i = 0; i < 4; ++i) {
            field(i);
            out += i == 3 ? '\n' : '\t';
        }
    }
    check(db.get(), rc);
    QFile file(tsvPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size()) || !file.flush())
        throw std::runtime_error("cannot write " + tsvPath.toStdString());
}

std::string FirstDifference(const QString& pathA, const QString& keyA, const QString& pathB, const QString& keyB) {
    static const char* const kDump = "SELECT rowid, quote(棟番号), quote(棟名称), quote(小学校区), quote(中学校区), "
                                     "quote(階数) FROM 棟マスタ ORDER BY rowid";
    Sqlite a = Open(pathA, keyA, false), b = Open(pathB, keyB, false);
    Statement sa(a.get(), kDump), sb(b.get(), kDump);
    const auto row = [](Statement& s) -> std::optional<std::string> {
        const int rc = sqlite3_step(s.stmt_);
        if (rc == SQLITE_DONE)
            return std::nullopt;
        check(s.db_, rc);
        std::string line;
        for (int i = 0; i < 6; ++i) {
            line += reinterpret_cast<const char*>(sqlite3_column_text(s.stmt_, i));
            line += i == 5 ? "" : "|";
        }
        return line;
    };
    for (std::int64_t n = 1;; ++n) {
        const std::optional<std::string> ra = row(sa), rb = row(sb);
        if (ra != rb)
            return "row " + std::to_string(n) + ": " + ra.value_or("(none)") + " <> " + rb.value_or("(none)");
        if (!ra)
            return {};
    }
}

} // namespace bench
