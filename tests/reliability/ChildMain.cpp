// tou-rel-child: the helper process of the fault tests.
//
//   tou-rel-child run <program folder> <source path> [--pause PLAN] [--torn] [--count]
//                     [--jet-pause EVENT:N[+]] [--jet-count] [--peak]
//       Runs the revision on the program folder's target and the source
//       path given, as Execute does. Prints "started", then "done" at the
//       end or "error <number> <description>" at an error; exits 0 or 1.
//       With a plan it stops at that moment (see VfsShim.h); --jet-pause
//       stops before (with "+": just after) the n-th write step of an
//       Access target (see JetShim.h). --peak prints "peak-kib N", the
//       process's peak resident memory, last.
//   tou-rel-child hold <file> <key> <statements> <milliseconds>
//       Opens the file with the database library directly, runs the
//       statements (say "BEGIN EXCLUSIVE"), prints "held", keeps the lock for
//       the given time, rolls back, prints "released".
#include "platform/ui/ErrorReport.h"
#include "revision/Revision.h"
#include "tests/reliability/JetShim.h"
#include "tests/reliability/VfsShim.h"

#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

void say(const QString& line) {
    const QByteArray out = line.toUtf8() + '\n';
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, out.constData(), static_cast<std::size_t>(out.size()));
}

// VmHWM of /proc/self/status: what the kernel saw this process hold at most.
long long peakKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int usage() {
    say(QStringLiteral("usage: tou-rel-child run <program folder> <source> [--pause PLAN] [--torn] [--count] | "
                       "hold <file> <key> <statements> <ms>"));
    return 2;
}

int run(int argc, char** argv) {
    if (argc < 4)
        return usage();
    const QString programDir = QString::fromLocal8Bit(argv[2]);
    const QString source = QString::fromLocal8Bit(argv[3]);
    reliability::ShimOptions shim;
    bool useShim = false, count = false, jetCount = false, peak = false;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pause" && i + 1 < argc) {
            shim.pausePlan = reliability::parsePausePlan(argv[++i]);
            useShim = true;
        } else if (arg == "--torn") {
            shim.torn = true;
        } else if (arg == "--count") {
            useShim = count = true;
        } else if (arg == "--jet-pause" && i + 1 < argc) {
            const std::string plan = argv[++i];
            const std::size_t colon = plan.find(':');
            if (colon == std::string::npos)
                return usage();
            const bool after = plan.back() == '+';
            jetShimInstall(plan.substr(0, colon).c_str(), std::stoi(plan.substr(colon + 1)), after ? 1 : 0);
        } else if (arg == "--peak") {
            peak = true;
        } else if (arg == "--jet-count") {
            jetCount = true;
            jetShimInstall(nullptr, 0, 0);
        } else {
            return usage();
        }
    }
    if (useShim)
        reliability::installShim(shim);

    QCoreApplication app(argc, argv);
    int status = 1;
    say(QStringLiteral("started"));
    try {
        revision::Progress progress;
        revision::Revise(source, revision::TargetUnder(programDir), progress);
        say(QStringLiteral(u"done 修正が完了しました。"));
        status = 0;
    } catch (const std::exception&) {
        const platform::ErrorReportRequest report = platform::CaughtError();
        say(QStringLiteral("error %1 %2").arg(report.number).arg(QString(report.description).replace(u'\n', u' ')));
    }
    if (count)
        for (const std::string& line : reliability::shimCounts())
            say(QString::fromStdString(line));
    if (jetCount)
        jetShimPrintCounts();
    if (peak)
        say(QStringLiteral("peak-kib %1").arg(peakKib()));
    return status;
}

int hold(int argc, char** argv) {
    if (argc != 6)
        return usage();
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(argv[2], &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (rc == SQLITE_OK && argv[3][0])
        rc = sqlite3_key(db.get(), argv[3], static_cast<int>(std::strlen(argv[3])));
    if (rc == SQLITE_OK && argv[3][0] != '\0')
        rc = sqlite3_exec(db.get(), "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_busy_timeout(db.get(), 10000);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db.get(), argv[4], nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        say(QStringLiteral("failed ") + QString::fromUtf8(sqlite3_errmsg(db.get())));
        return 1;
    }
    say(QStringLiteral("held"));
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(argv[5])));
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    say(QStringLiteral("released"));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "run") == 0)
        return run(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "hold") == 0)
        return hold(argc, argv);
    return usage();
}
