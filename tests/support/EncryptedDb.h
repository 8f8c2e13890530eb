#pragma once
// Test files: encrypted databases made and read with the SQLCipher C API
// directly, independent of the engine under test.
#include <QString>
#include <QStringList>

namespace testsupport {

// Creates a new encrypted database (an empty key makes a plain SQLite file) and runs the script.
void CreateDb(const QString& path, const QString& key, const QString& script);
// Runs a statement script on an existing database.
void ExecDb(const QString& path, const QString& key, const QString& script);
// The rows of a query, each as its values joined by "|", Null shown as "<null>".
// `writable` opens the file for writing, so that a journal left by a killed
// writer is rolled back first.
QStringList QueryDb(const QString& path, const QString& key, const QString& sql, bool writable = false);
// Reads a whole file's bytes ("" when missing).
QByteArray FileBytes(const QString& path);

} // namespace testsupport
