#pragma once
// Test files: encrypted databases made and read with the SQLCipher C API
// directly, independent of the engine under test. Every SQLite failure fails
// the running test with SQLite's own message and lets it go on.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

struct sqlite3;

namespace testsupport {

// How a Null value reads in every result below.
inline const QString kNull = QStringLiteral("NULL");

// One connection to a file; an empty key opens it unencrypted.
class RawDb {
public:
    enum class Mode { ReadOnly, ReadWrite, Create };
    RawDb(const QString& path, const QString& key, Mode mode = Mode::Create);

    void exec(const QString& sql);
    // The SQLite result code, for tests that expect a failure.
    int tryExec(const QString& sql);
    // Every row as its values joined by "|".
    QStringList rows(const QString& sql);
    // The first column of every row.
    QStringList column(const QString& sql);
    sqlite3* get() const { return db_.get(); }

private:
    QStringList read(const QString& sql, bool firstColumnOnly);

    struct Closer {
        void operator()(sqlite3* db) const noexcept;
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

// Creates the file (an empty key makes a plain SQLite file) and runs the
// script in it as one transaction.
void CreateDb(const QString& path, const QString& key, const QString& script);
// The rows of a query on an existing file, as RawDb::rows gives them.
// `writable` opens the file for writing, so that a journal left by a killed
// writer is rolled back first.
QStringList QueryDb(const QString& path, const QString& key, const QString& sql, bool writable = false);
// A whole file's bytes.
QByteArray FileBytes(const QString& path);

} // namespace testsupport
