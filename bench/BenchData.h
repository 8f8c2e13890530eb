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

// Writes the source's 棟マスタ rows in rowid order as tab-separated UTF-8
// lines (棟番号, 棟名称, 小学校区, 中学校区) for bench/MakeJetSource.java:
// "\N" for Null, backslash, tab and line ends escaped, numbers exact.
void WriteSourceRows(const QString& sourcePath, const QString& sourceKey, const QString& tsvPath);

// Compares the two files' 棟マスタ row by row in rowid order, every column
// SQL-quoted, without holding either table in memory. Returns an empty text
// when they are identical, otherwise a description of the first difference.
std::string FirstDifference(const QString& pathA, const QString& keyA, const QString& pathB, const QString& keyB);

} // namespace bench
