#pragma once
// Seeded test data for the revision benchmark, written with the C API.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>

struct sqlite3;

namespace bench {

struct Sqlite {
    struct Closer {
        void operator()(sqlite3* db) const noexcept;
    };
    std::unique_ptr<sqlite3, Closer> handle;
    sqlite3* get() const { return handle.get(); }
};

// Opens (creating when asked) a keyed database; throws std::runtime_error on failure.
Sqlite Open(const QString& path, const QString& key, bool create);
void Exec(sqlite3* db, const char* sql);

struct DataShape {
    std::int64_t rows = 1000;
    bool targetIndex = true;
    std::uint64_t seed = 20261207;
};

// Writes a source and a target of shape.rows rows each: random but seeded
// building numbers, about 10 % of source keys missing from the target,
// duplicates on both sides, Null and fractional source keys, Japanese names.
void Generate(const DataShape& shape, const QString& sourcePath, const QString& sourceKey,
              const QString& targetPath, const QString& targetKey);

// The Access-target comparison's files, every row to grow: a target of
// `rows` rows, keys 1..rows in order, 中学校区 "未設定", as tab-separated
// rows for MakeJetSource --target (format of WriteSourceRows) and as an
// SQLCipher file of the same four columns with an index on 棟番号; and an
// SQLCipher source holding every key once in a seeded shuffled order, each
// with GrownJunior(key).
void GenerateGrowing(std::int64_t rows, std::uint64_t seed, const QString& sourcePath, const QString& sourceKey,
                     const QString& targetRowsPath, const QString& targetPath, const QString& targetKey);
// The source's 中学校区 for a key: longer than "未設定", different per row.
QString GrownJunior(std::int64_t key);

// Writes the source's 棟マスタ rows in rowid order as tab-separated UTF-8
// lines (棟番号, 棟名称, 小学校区, 中学校区) for bench/MakeJetSource.java:
// "\N" for Null, backslash, tab and line ends escaped, numbers exact.
void WriteSourceRows(const QString& sourcePath, const QString& sourceKey, const QString& tsvPath);

// Compares the two files' 棟マスタ row by row in rowid order, every column
// SQL-quoted, without holding either table in memory. Returns an empty text
// when they are identical, otherwise a description of the first difference.
std::string FirstDifference(const QString& pathA, const QString& keyA, const QString& pathB, const QString& keyB);

} // namespace bench
