#include "bench/JetSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

namespace bench {

namespace {

// Where the generator and the default jar lie, fixed when tou-bench is built.
const QString kGenerator = QStringLiteral(TOU_BENCH_DIR "/MakeJetSource.java");
const QString kJackcessRevision = QStringLiteral(TOU_BENCH_DIR "/JackcessRevise.java");
const QString kDefaultJar = QStringLiteral(TOU_REPO_DIR "/../shared/tools/jackcess/jackcess-4.0.11-SNAPSHOT.jar");
const QString kCommonsLang = QStringLiteral("/usr/share/java/commons-lang3.jar");
const QString kCommonsLogging = QStringLiteral("/usr/share/java/commons-logging.jar");

// Runs `program` to its end; its standard output, or std::runtime_error
// carrying both outputs when it fails.
QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    const bool finished = p.waitForFinished(-1);
    const QByteArray out = p.readAllStandardOutput();
    if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(QFileInfo(program).fileName().toStdString() + " failed (exit " +
                                 std::to_string(p.exitCode()) + "): " + out.toStdString() +
                                 p.readAllStandardError().toStdString());
    return out;
}

// The header's bytes from 0x18 on are hidden under RC4 with one key every
// Jet file shares; this mirrors platform/dao/jet/Header.cpp.
constexpr std::size_t kVersionAt = 0x14;
constexpr std::size_t kHiddenAt = 0x18;
constexpr std::size_t kHiddenSize = 128;
constexpr std::array<std::uint8_t, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kPasswordAt = 0x42;
constexpr std::size_t kPasswordBytes = 40;
constexpr std::size_t kCreatedAt = 0x72;

// Written here rather than borrowed from the reader, so that a mistake in
// one is not repeated in the other.
void rc4(const std::array<std::uint8_t, 4>& key, std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, 256> s{};
    std::iota(s.begin(), s.end(), std::uint8_t{0});
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::size_t i = 0; i < size; ++i) {
        ++a;
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[i] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

} // namespace

std::optional<JetMaker> JetMaker::find(QString& why) {
    JetMaker m;
    m.javac_ = QStandardPaths::findExecutable(QStringLiteral("javac"));
    m.java_ = QStandardPaths::findExecutable(QStringLiteral("java"));
    const QByteArray jar = qgetenv("TOU_JACKCESS_JAR");
    m.jar_ = jar.isEmpty() ? QDir::cleanPath(kDefaultJar) : QString::fromLocal8Bit(jar);
    if (m.javac_.isEmpty() || m.java_.isEmpty()) {
        why = QStringLiteral("javac or java not found");
        return std::nullopt;
    }
    for (const QString& file : {m.jar_, kCommonsLang, kCommonsLogging, kGenerator, kJackcessRevision}) {
        if (!QFileInfo(file).isFile()) {
            why = file + QStringLiteral(" not found");
            return std::nullopt;
        }
    }
    m.classPath_ = QStringList{m.jar_, kCommonsLang, kCommonsLogging}.join(QLatin1Char(':'));
    return m;
}

void JetMaker::compile(const QString& folder) {
    classes_ = folder;
    run(javac_, {QStringLiteral("-encoding"), QStringLiteral("UTF-8"), QStringLiteral("-nowarn"), QStringLiteral("-d"),
                 classes_, QStringLiteral("-cp"), classPath_, kGenerator, kJackcessRevision});
}

void JetMaker::make(const QString& tsvPath, const QString& mdbPath, Shape shape) const {
    QStringList arguments{QStringLiteral("-Dfile.encoding=UTF-8"), QStringLiteral("-cp"),
                          classes_ + QLatin1Char(':') + classPath_, QStringLiteral("MakeJetSource")};
    if (shape == Shape::Target)
        arguments << QStringLiteral("--target");
    run(java_, arguments << tsvPath << mdbPath);
}

JetMaker::Revision JetMaker::revise(const QString& tsvPath, const QString& mdbPath) const {
    const QByteArray out =
        run(java_, {QStringLiteral("-Dfile.encoding=UTF-8"), QStringLiteral("-cp"),
                    classes_ + QLatin1Char(':') + classPath_, QStringLiteral("JackcessRevise"), tsvPath, mdbPath});
    // One line of name=value pairs; every one must be there.
    Revision r;
    int seen = 0;
    for (const QByteArray& pair : out.trimmed().split(' ')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray name = pair.left(equals), value = pair.mid(equals + 1);
        bool ok = equals > 0;
        if (name == "seconds")
            r.seconds = value.toDouble(&ok);
        else if (name == "revised")
            r.revised = value.toLongLong(&ok);
        else if (name == "notfound")
            r.notFound = value.toLongLong(&ok);
        else if (name == "vmhwm_kib")
            r.peakMiB = static_cast<double>(value.toLongLong(&ok)) / 1024.0;
        else
            ok = false;
        if (!ok)
            throw std::runtime_error("JackcessRevise printed " + out.toStdString());
        ++seen;
    }
    if (seen != 4)
        throw std::runtime_error("JackcessRevise printed " + out.toStdString());
    return r;
}

void SetJetPassword(const QString& path, const QString& password) {
    const std::u16string units = password.toStdU16String();
    if (units.size() * 2 > kPasswordBytes)
        throw std::runtime_error("a Jet password has at most 20 characters");
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        throw std::runtime_error("cannot open " + path.toStdString());
    QByteArray head = file.read(kHiddenAt + kHiddenSize);
    if (head.size() != static_cast<qsizetype>(kHiddenAt + kHiddenSize) || !head.mid(4, 15).startsWith("Standard Jet DB") ||
        head.at(kVersionAt) != 1)
        throw std::runtime_error(path.toStdString() + " is no Jet 4 file");
    auto* hidden = reinterpret_cast<std::uint8_t*>(head.data()) + kHiddenAt;
    rc4(kHeaderKey, hidden, kHiddenSize);

    double created = 0;
    std::memcpy(&created, head.constData() + kCreatedAt, sizeof created);
    created = std::floor(created);
    if (!(created >= std::numeric_limits<std::int32_t>::min() && created <= std::numeric_limits<std::int32_t>::max()))
        throw std::runtime_error(path.toStdString() + " has no creation date");
    const auto days = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
    for (std::size_t i = 0; i < kPasswordBytes; ++i) {
        const std::size_t unit = i / 2;
        const char16_t c = unit < units.size() ? units[unit] : u'\0';
        const auto plain = static_cast<std::uint8_t>(i % 2 == 0 ? c & 0xFF : c >> 8);
        head[static_cast<qsizetype>(kPasswordAt + i)] =
            static_cast<char>(plain ^ static_cast<std::uint8_t>(days >> (8 * (i % 4))));
    }

    rc4(kHeaderKey, hidden, kHiddenSize);
    if (!file.seek(0) || file.write(head) != head.size() || !file.flush())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace bench
