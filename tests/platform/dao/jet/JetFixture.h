#pragma once
// Shared by the Jet reader's tests: the committed test databases, copies of
// them in a temporary folder to damage, and reading a table in one call.
#include "platform/dao/jet/JetFile.h"
#include "runtime/RuntimeError.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace jettest {

inline QString fixture(const QString& name) {
    return QStringLiteral(TOU_JET_DATA_DIR "/") + name;
}

inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A writable copy of a fixture in its own temporary folder.
class Copy {
public:
    explicit Copy(const QString& name, const QString& as = QStringLiteral("copy.mdb"))
        : path_(dir_.filePath(as)), bytes_(bytesOf(fixture(name))) {
        EXPECT_FALSE(bytes_.isEmpty()) << name.toStdString();
        write();
    }
    const QString& path() const { return path_; }
    QByteArray& bytes() { return bytes_; }
    void write() const {
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes_), bytes_.size());
    }
    const QTemporaryDir& dir() const { return dir_; }

private:
    QTemporaryDir dir_;
    QString path_;
    QByteArray bytes_;
};

inline dao::jet::Table readAll(const QString& path, const QString& password, const QString& table,
                               const QStringList& columns = {}) {
    return dao::jet::JetFile::open(path, password)->read(table, columns, {});
}

// The number of the error `f` raises; 0 when it raises none.
template <class F>
int errorOf(F&& f) {
    try {
        f();
    } catch (const vb::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace jettest
