#pragma once
// The benchmark's Access source: a Jet 4 file written by Jackcess through
// bench/MakeJetSource.java (compiled at run time), with the source edition's
// password then written into its header page here, as Jackcess cannot.
#include <QString>

#include <optional>

namespace bench {

class JetMaker {
public:
    // javac, java, the Jackcess jar ($TOU_JACKCESS_JAR, or the shared tools
    // beside the repository) and Debian's commons-lang3 and commons-logging;
    // nothing when one is missing, with `why` saying which.
    static std::optional<JetMaker> find(QString& why);

    // Compiles the generator into `folder`; throws std::runtime_error on failure.
    void compile(const QString& folder);
    // Writes `mdbPath` holding the rows of `tsvPath` (see WriteSourceRows).
    void make(const QString& tsvPath, const QString& mdbPath) const;

    const QString& jar() const { return jar_; }

private:
    QString javac_, java_, jar_, classPath_, classes_;
};

// Sets a Jet 4 file's database password (up to 20 characters) the way the
// reader checks it: UTF-16LE at 0x42, masked with the whole days of the
// creation date, under the header's fixed RC4 key.
void SetJetPassword(const QString& path, const QString& password);

} // namespace bench
