#include "tests/support/JetCheck.h"

#include "platform/dao/jet/Rc4.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

namespace testsupport {

namespace {

// Fixed when the tests are built; TOU_JACKCESS_JAR overrides the jar.
const QString kCheckerSource = QStringLiteral(TOU_JETCHECK_SOURCE);
const QString kDefaultJar = QStringLiteral(TOU_JACKCESS_JAR_DEFAULT);
const QStringList kCommons{QStringLiteral("/usr/share/java/commons-lang3.jar"),
                           QStringLiteral("/usr/share/java/commons-logging.jar")};

constexpr std::uint32_t kPageSize = 4096;
constexpr qsizetype kVersionAt = 0x14;
constexpr qsizetype kHiddenAt = 0x18;
constexpr qsizetype kHiddenSize = 128;
constexpr qsizetype kPageKeyAt = 0x3E;
constexpr std::array<std::uint8_t, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};

// The checker compiled once per test process; `why` says what is missing.
struct Checker {
    QString java;
    QString classPath;
    QString why;
    std::unique_ptr<QTemporaryDir> classes;
};

struct Finished {
    int exitCode; // -1: it did not end normally
    QString output; // stdout and stderr merged
};

Finished runToEnd(const QString& program, const QStringList& arguments) {
    QProcess p;
    // Java decodes its arguments (the table name) and encodes its output
    // under the locale's character set: make it UTF-8 whatever ctest has.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
        return {-1, QStringLiteral("%1 did not finish: %2").arg(program, p.errorString())};
    return {p.exitCode(), QString::fromUtf8(p.readAll())};
}

Checker compileChecker() {
    Checker c;
    const QString javac = QStandardPaths::findExecutable(QStringLiteral("javac"));
    c.java = QStandardPaths::findExecutable(QStringLiteral("java"));
    if (javac.isEmpty() || c.java.isEmpty()) {
        c.why = QStringLiteral("java or javac not found");
        return c;
    }
    const QByteArray jarEnv = qgetenv("TOU_JACKCESS_JAR");
    const QString jar = jarEnv.isEmpty() ? kDefaultJar : QString::fromLocal8Bit(jarEnv);
    for (const QString& file : QStringList{jar} + kCommons + QStringList{kCheckerSource}) {
        if (file.isEmpty() || !QFileInfo(file).isFile()) {
            c.why = (file.isEmpty() ? QStringLiteral("the Jackcess jar") : file) +
                    QStringLiteral(" not found (set TOU_JACKCESS_JAR)");
            return c;
        }
    }
    c.classPath = (QStringList{jar} + kCommons).join(QLatin1Char(':'));
    c.classes = std::make_unique<QTemporaryDir>();
    const Finished javacRun =
        runToEnd(javac, {QStringLiteral("-encoding"), QStringLiteral("UTF-8"), QStringLiteral("-nowarn"),
                         QStringLiteral("-d"), c.classes->path(), QStringLiteral("-cp"), c.classPath, kCheckerSource});
    if (javacRun.exitCode != 0)
        c.why = QStringLiteral("javac failed: ") + javacRun.output;
    return c;
}

// Fails the running test when the file cannot be written.
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush())
        return true;
    ADD_FAILURE() << "cannot write " << path.toStdString();
    return false;
}

// Plain Jackcess refuses files whose pages are RC4-encoded (a page key in
// the header) unless an extra codec library is present. The checker is
// given a copy instead, decoded the way the reader decodes (every page from
// the first on under the page key XOR its number) and with a page key of 0,
// so what it checks are exactly the bytes the project wrote. A failure to
// read or write fails the running test and gives nullopt.
std::optional<QString> decodedCopy(const QString& file, const QString& folder) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << file.toStdString();
        return std::nullopt;
    }
    QByteArray b = in.readAll();
    if (b.size() < static_cast<qsizetype>(kPageSize) || b.at(kVersionAt) != 1)
        return file; // not Jet 4: Jackcess says what it thinks of it
    auto* bytes = reinterpret_cast<std::uint8_t*>(b.data());
    const std::span hidden(bytes + kHiddenAt, kHiddenSize);
    dao::jet::detail::rc4(kHeaderKey, hidden);
    std::uint32_t pageKey = 0;
    std::memcpy(&pageKey, bytes + kPageKeyAt, sizeof pageKey);
    if (pageKey == 0)
        return file;
    std::memset(bytes + kPageKeyAt, 0, sizeof pageKey);
    dao::jet::detail::rc4(kHeaderKey, hidden);
    for (std::uint32_t page = 1; page < b.size() / kPageSize; ++page) {
        const std::uint32_t k = pageKey ^ page;
        const std::array<std::uint8_t, 4> key{static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                                              static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
        dao::jet::detail::rc4(key, std::span(bytes + std::size_t{page} * kPageSize, kPageSize));
    }
    const QString copy = QDir(folder).filePath(QStringLiteral("decoded.mdb"));
    if (!writeFile(copy, b))
        return std::nullopt;
    return copy;
}

QString escaped(const QString& value) {
    if (value == kJetNull)
        return value;
    QString s = value;
    s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'\t', QStringLiteral("\\t"));
    s.replace(u'\r', QStringLiteral("\\r"));
    s.replace(u'\n', QStringLiteral("\\n"));
    return s;
}

} // namespace

JetCheckResult jackcessCheck(const QString& file, const QString& table, const std::vector<QStringList>& expectedRows) {
    static const Checker checker = compileChecker();
    if (!checker.why.isEmpty())
        return {true, checker.why, false, {}};

    const QTemporaryDir work;
    const std::optional<QString> checked = decodedCopy(file, work.path());
    const QString tsv = work.filePath(QStringLiteral("expected.tsv"));
    QByteArray text;
    for (const QStringList& row : expectedRows) {
        QStringList fields;
        for (const QString& value : row)
            fields << escaped(value);
        text += fields.join(u'\t').toUtf8() + '\n';
    }
    if (!checked || !writeFile(tsv, text))
        return {false, {}, false, QStringLiteral("nothing checked: the files for the checker could not be made")};

    const Finished run =
        runToEnd(checker.java, {QStringLiteral("-Dfile.encoding=UTF-8"), QStringLiteral("-Dstdout.encoding=UTF-8"),
                                QStringLiteral("-cp"), checker.classes->path() + QLatin1Char(':') + checker.classPath,
                                QStringLiteral("JetCheck"), *checked, table, tsv});
    return {false, {}, run.exitCode == 0, run.output};
}

} // namespace testsupport
