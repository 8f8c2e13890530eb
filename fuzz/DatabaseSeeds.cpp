// db_fuzz_seeds DIR: writes the page images db_file_fuzz starts from: small
// building tables, with an index and its statistics, with views over them,
// and with the kinds of schema entries crafted files carry.
#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <string>

namespace {

const char* const kSeeds[][2] = {
    {"plain", "CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT);"
              "INSERT INTO 棟マスタ VALUES (1, '小', '中'), (2, '小', NULL), (1.0, 'x', 'y'), ('3', '', '');"},
    {"indexed", "CREATE TABLE 棟マスタ (棟番号 INTEGER PRIMARY KEY, 小学校区 TEXT, 中学校区 TEXT CHECK (length(中学校区) < 9));"
                "CREATE INDEX i ON 棟マスタ (中学校区, 小学校区);"
                "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r LIMIT 300)"
                " INSERT INTO 棟マスタ SELECT n, 'p' || n, 'q' || (n % 7) FROM r; ANALYZE;"},
    {"view", "CREATE TABLE t (a, b, c); INSERT INTO t VALUES (1, 'x', 'y'), (2, 'z', 'w');"
             "CREATE VIEW v AS SELECT a * 2 AS a, b, c FROM t;"
             "CREATE VIEW 棟マスタ AS SELECT a AS 棟番号, b AS 小学校区, c AS 中学校区 FROM v UNION ALL SELECT 1, 2, 3;"},
    {"recursive", "CREATE VIEW 棟マスタ AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r LIMIT 50)"
                  " SELECT n AS 棟番号, printf('%d', n) AS 小学校区, hex(randomblob(4)) AS 中学校区 FROM r;"},
    {"without_rowid", "CREATE TABLE 棟マスタ (棟番号 INTEGER PRIMARY KEY, 小学校区, 中学校区) WITHOUT ROWID;"
                      "INSERT INTO 棟マスタ VALUES (1, 'a', 'b'), (5, 'c', zeroblob(20));"},
    {"trigger", "CREATE TABLE 棟マスタ (棟番号 REAL, 小学校区 TEXT, 中学校区 BLOB);"
                "CREATE TABLE log (x); CREATE TRIGGER tr AFTER UPDATE ON 棟マスタ BEGIN INSERT INTO log VALUES (1); END;"
                "INSERT INTO 棟マスタ VALUES (1.5, 'a', x'00ff'), (-1e300, NULL, 'z');"},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: db_fuzz_seeds DIR\n");
        return 2;
    }
    for (const auto& [name, sql] : kSeeds) {
        const std::string path = std::string(argv[1]) + "/" + name + ".db";
        std::remove(path.c_str());
        sqlite3* db = nullptr;
        int rc = sqlite3_open(path.c_str(), &db);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "PRAGMA page_size = 1024;", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            std::fprintf(stderr, "%s: %s\n", name, sqlite3_errmsg(db));
            sqlite3_close(db);
            return 1;
        }
        sqlite3_close(db);
    }
    return 0;
}
