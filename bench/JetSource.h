#pragma once
// The benchmark's Access files: Jet 4 files written by Jackcess through
// bench/MakeJetSource.java (compiled at run time), with the edition's
// password then written into their header page here, as Jackcess cannot;
// and the revision done by Jackcess (bench/JackcessRevise.java) to compare with.
#include <QString>

#include <cstdint>
#include <optional>

namespace bench {

class JetMaker {
public:
    // javac, java, the Jackcess jar ($TOU_JACKCESS_JAR, or the shared tools
    // beside the repository) and Debian's commons-lang3 and commons-logging;
    // nothing when one is missing, with `why` saying which.
    static std::optional<JetMaker> find(QString& why);

    // Compiles the generator and the Jackcess revision into `folder`; throws
    // std::runtime_error on failure.
    void compile(const QString& folder);
    enum class Shape { Source, Target };
    // Writes `mdbPath` holding the rows of `tsvPath` (see WriteSourceRows):
    // a source's Double key, or a target's Long key and Text(50) columns.
    void make(const QString& tsvPath, const QString& mdbPath, Shape shape = Shape::Source) const;

    // What JackcessRevise reports.
    struct Revision {
        double seconds = 0;     // the row loop and the flush
        std::int64_t revised = 0, notFound = 0;
        double peakMiB = 0;     // the JVM's peak resident memory
    };
    // Revises `mdbPath` in place from the rows of `tsvPath` with Jackcess.
    Revision revise(const QString& tsvPath, const QString& mdbPath) const;

    const QString& jar() const { return jar_; }

private:
    QString javac_, java_, jar_, classPath_, classes_;
};

// Sets a Jet 4 file's database password (up to 20 characters) the way the
// reader checks it: UTF-16LE at 0x42, masked with the whole days of the
// creation date, under the header's fixed RC4 key.
void SetJetPassword(const QString& path, const QString& password);

} // namespace bench
