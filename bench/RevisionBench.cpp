// tou-bench: times the real revision run (the window's Execute handler, with
// the completion box answered) against the same revision written by hand as
// bulk SQL, checks both leave identical tables, and prints a table; then the
// same run with an Access (Jet 4) source against an SQLCipher source holding
// the same rows. On request (--jet-target), the run into an Access target
// against an SQLCipher target and against Jackcess revising the Access file.
#include "revision/BuildingNumber.h"
#include "revision/Revision.h"
#include "bench/BenchData.h"
#include "bench/JetSource.h"
#include "platform/dao/Dao.h"
#include "runtime/RuntimeError.h"

#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const QString kSourceKey = QStringLiteral("k3pwnvhtq7");
const QString kTargetKey = QStringLiteral("r8mfyelc4s");

// Peak resident memory since the last reset, in MiB.
double peakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void resetPeak() {
    // Freed memory the allocator still holds from earlier sizes would count
    // as resident: give it back first.
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Statement {
    Statement(sqlite3* handle, const char* sql) : db(handle) { check(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr)); }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void check(int rc) const {
        if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    sqlite3* db;
    sqlite3_stmt* stmt = nullptr;
};

vb::Variant columnValue(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL: return vb::Variant();
    case SQLITE_INTEGER: return vb::Variant(static_cast<std::int64_t>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT: return vb::Variant(sqlite3_column_double(stmt, i));
    default:
        return vb::Variant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                             sqlite3_column_bytes(stmt, i)));
    }
}

// The revision by hand: the source's keys and values in a typed temporary
// table, the last value per key, and one UPDATE of the first matching row per key.
void bulkRevision(const QString& targetPath, const QString& sourcePath) {
    bench::Sqlite db = bench::Open(targetPath, kTargetKey, false);
    // An attached file takes the library's default format, which must be the files' own.
    bench::Exec(db.get(), "PRAGMA cipher_default_compatibility = 3");
    {
        Statement attach(db.get(), "ATTACH DATABASE ? AS src KEY ?");
        const QByteArray path = sourcePath.toUtf8(), key = kSourceKey.toUtf8();
        sqlite3_bind_text(attach.stmt, 1, path.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(attach.stmt, 2, key.constData(), -1, SQLITE_TRANSIENT);
        attach.check(sqlite3_step(attach.stmt));
    }
    bench::Exec(db.get(), "CREATE TEMP TABLE kv (seq INTEGER PRIMARY KEY, k INTEGER NOT NULL, v TEXT NOT NULL)");
    bench::Exec(db.get(), "BEGIN");
    {
        Statement select(db.get(), "SELECT 棟番号, 中学校区 FROM src.棟マスタ");
        Statement insert(db.get(), "INSERT INTO kv (k, v) VALUES (?, ?)");
        int rc;
        while ((rc = sqlite3_step(select.stmt)) == SQLITE_ROW) {
            sqlite3_bind_int64(insert.stmt, 1, BuildingNumber(columnValue(select.stmt, 0)));
            const QByteArray v = columnValue(select.stmt, 1).toText().toUtf8();
            sqlite3_bind_text(insert.stmt, 2, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
            insert.check(sqlite3_step(insert.stmt));
            insert.check(sqlite3_reset(insert.stmt));
        }
        select.check(rc);
    }
    bench::Exec(db.get(), "CREATE TEMP TABLE last (k INTEGER PRIMARY KEY, v TEXT NOT NULL)");
    bench::Exec(db.get(), "INSERT INTO last SELECT k, v FROM kv WHERE seq IN (SELECT MAX(seq) FROM kv GROUP BY k)");
    bench::Exec(db.get(),
                "UPDATE main.棟マスタ SET 中学校区 = (SELECT v FROM temp.last WHERE last.k = 棟マスタ.棟番号) "
                "WHERE rowid IN (SELECT MIN(rowid) FROM main.棟マスタ "
                "WHERE 棟番号 IN (SELECT k FROM temp.last) GROUP BY 棟番号)");
    bench::Exec(db.get(), "COMMIT");
}

// The revision on the program folder's target with `source`, as Execute
// runs it: seconds taken, and the peak memory in `peak`.
double runRevision(const QString& program, const QString& source, double& peak) {
    revision::Progress progress;
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    revision::Revise(source, revision::TargetUnder(program), progress);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    peak = peakMiB();
    return seconds;
}

struct Result {
    std::int64_t rows;
    bool index;
    double runSeconds, runPeak, bulkSeconds, bulkPeak;
};

Result measure(std::int64_t rows, bool index) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder");
    const QString program = dir.filePath(QStringLiteral("prog"));
    QDir().mkpath(program + QStringLiteral("/Q_db"));
    const QString target = program + QStringLiteral("/Q_db/Q5ProDB.mdb");
    const QString reference = dir.filePath(QStringLiteral("reference.mdb"));
    const QString source = dir.filePath(QStringLiteral("Q4ProDB.mdb"));
    bench::Generate({rows, index, 20261207}, source, kSourceKey, target, kTargetKey);
    if (!QFile::copy(target, reference))
        throw std::runtime_error("cannot copy the target");

    Result r{rows, index, 0, 0, 0, 0};
    r.runSeconds = runRevision(program, source, r.runPeak);
    {
        resetPeak();
        QElapsedTimer clock;
        clock.start();
        bulkRevision(reference, source);
        r.bulkSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        r.bulkPeak = peakMiB();
    }
    const std::string difference = bench::FirstDifference(target, kTargetKey, reference, kTargetKey);
    if (!difference.empty())
        throw std::runtime_error("the run and bulk SQL left different tables (rows=" + std::to_string(rows) +
                                 ", index=" + (index ? "yes" : "no") + "), first difference at " + difference);
    return r;
}

// Small sizes take a few milliseconds, where a busy machine's noise is of
// the same size: the best of three (each fresh files), run and bulk SQL taken
// separately, the peaks the highest seen.
Result measureBest(std::int64_t rows, bool index) {
    Result best = measure(rows, index);
    if (rows > 10000)
        return best;
    for (int again = 0; again < 2; ++again) {
        const Result r = measure(rows, index);
        best.runSeconds = std::min(best.runSeconds, r.runSeconds);
        best.bulkSeconds = std::min(best.bulkSeconds, r.bulkSeconds);
        best.runPeak = std::max(best.runPeak, r.runPeak);
        best.bulkPeak = std::max(best.bulkPeak, r.bulkPeak);
    }
    return best;
}

// The same revision run with an Access source and with an SQLCipher source
// holding the same rows in the same order, each on a fresh copy of one target.
struct AccessResult {
    std::int64_t rows;
    double jetSeconds, jetPeak, sqlSeconds, sqlPeak;
};

void copyFresh(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error("cannot copy " + from.toStdString());
}

// Writes the password into an Access file's header. A password that did not
// land would let any password in: make sure a wrong one is refused.
void setJetPassword(const QString& path, const QString& password) {
    bench::SetJetPassword(path, password);
    try {
        dao::DBEngine::create()->Workspaces()->Item(0)->OpenDatabase(path, vb::vbFalse, vb::vbFalse,
                                                                      QStringLiteral(";pwd=not-the-key"));
        throw std::runtime_error("the Access file " + path.toStdString() + " opens with a wrong password");
    } catch (const vb::RuntimeError& e) {
        if (e.number() != 3031)
            throw;
    }
}

AccessResult measureAccess(bench::JetMaker& maker, std::int64_t rows, bool index) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder");
    const QString program = dir.filePath(QStringLiteral("prog"));
    QDir().mkpath(program + QStringLiteral("/Q_db"));
    QDir().mkpath(dir.filePath(QStringLiteral("sqlcipher")));
    QDir().mkpath(dir.filePath(QStringLiteral("access")));
    const QString target = program + QStringLiteral("/Q_db/Q5ProDB.mdb");
    const QString pristine = dir.filePath(QStringLiteral("target.mdb"));
    const QString expected = dir.filePath(QStringLiteral("expected.mdb"));
    const QString sqlSource = dir.filePath(QStringLiteral("sqlcipher/Q4ProDB.mdb"));
    const QString jetSource = dir.filePath(QStringLiteral("access/Q4ProDB.mdb"));
    const QString rowsFile = dir.filePath(QStringLiteral("rows.tsv"));

    bench::Generate({rows, index, 20261207}, sqlSource, kSourceKey, pristine, kTargetKey);
    bench::WriteSourceRows(sqlSource, kSourceKey, rowsFile);
    maker.make(rowsFile, jetSource);
    setJetPassword(jetSource, kSourceKey);

    AccessResult r{rows, 0, 0, 0, 0};
    bool haveExpected = false;
    // Best of three, the kinds taking turns to go first so that neither
    // always meets a warmer cache or a quieter machine; peaks the highest seen.
    for (int round = 0; round < 3; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool jet = (round + turn) % 2 == 1;
            copyFresh(pristine, target);
            double peak = 0;
            const double seconds = runRevision(program, jet ? jetSource : sqlSource, peak);
            double& best = jet ? r.jetSeconds : r.sqlSeconds;
            best = round == 0 ? seconds : std::min(best, seconds);
            double& highest = jet ? r.jetPeak : r.sqlPeak;
            highest = std::max(highest, peak);
            if (!haveExpected) {
                // Equal tables would prove nothing if the first run changed nothing.
                if (rows > 0 && bench::FirstDifference(target, kTargetKey, pristine, kTargetKey).empty())
                    throw std::runtime_error("the first run changed nothing (rows=" + std::to_string(rows) + ")");
                copyFresh(target, expected);
                haveExpected = true;
                continue;
            }
            const std::string difference = bench::FirstDifference(target, kTargetKey, expected, kTargetKey);
            if (!difference.empty())
                throw std::runtime_error("the Access and SQLCipher sources left different tables (rows=" +
                                         std::to_string(rows) + "), first difference at " + difference);
        }
    }
    return r;
}

// Prints the comparison for `sizes`, or says why it was skipped.
void accessComparison(const std::vector<std::int64_t>& sizes, bool index) {
    QString why;
    std::optional<bench::JetMaker> maker = bench::JetMaker::find(why);
    if (!maker) {
        std::printf("skipped the Access comparison: %s\n", qPrintable(why));
        std::fflush(stdout);
        return;
    }
    QTemporaryDir classes;
    if (!classes.isValid())
        throw std::runtime_error("no temporary folder");
    maker->compile(classes.path());

    std::printf("\nAccess (Jet 4) source against an SQLCipher source with the same rows (index on the target: %s)\n",
                index ? "yes" : "no");
    std::printf("%9s %9s %11s %9s %9s %11s %8s %10s\n", "rows", "Jet s", "SQLCipher s", "Jet/SQLC", "Jet us/r",
                "SQLC us/r", "Jet MiB", "SQLC MiB");
    std::fflush(stdout);
    // As above, time per row leaves out the fixed cost measured with empty tables.
    const AccessResult empty = measureAccess(*maker, 0, index);
    for (std::int64_t rows : sizes) {
        const AccessResult r = rows == 0 ? empty : measureAccess(*maker, rows, index);
        const auto perRow = [&](double seconds, double base) {
            return r.rows ? (seconds - base) * 1e6 / static_cast<double>(r.rows) : 0.0;
        };
        std::printf("%9lld %9.3f %11.3f %9.2f %9.2f %11.2f %8.1f %10.1f\n", static_cast<long long>(r.rows),
                    r.jetSeconds, r.sqlSeconds, r.jetSeconds / r.sqlSeconds, perRow(r.jetSeconds, empty.jetSeconds),
                    perRow(r.sqlSeconds, empty.sqlSeconds), r.jetPeak, r.sqlPeak);
        std::fflush(stdout);
    }
}

// The revision into an Access (Jet 4) target against the same into an
// SQLCipher target holding the same rows, and against Jackcess doing it.
struct JetTargetResult {
    std::int64_t rows = 0;
    int runs = 0;
    double jetSeconds = 0, jetPeak = 0, sqlSeconds = 0, sqlPeak = 0;
    qint64 jetGrowth = 0;
    std::optional<bench::JetMaker::Revision> jackcess;
    qint64 jackcessGrowth = 0;
};

// Above this many rows Jackcess takes many minutes, and one run each of ours tells enough.
constexpr std::int64_t kJackcessCap = 200000;

qint64 sizeOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        throw std::runtime_error(path.toStdString() + " is gone");
    return info.size();
}

// Revise as the window runs it, on `target`; seconds taken, the peak in `peak`.
double reviseInto(const QString& source, const QString& target, std::int64_t rows, double& peak) {
    revision::Progress progress;
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    const revision::Outcome outcome = revision::Revise(source, target, progress);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    peak = peakMiB();
    if (outcome.read != rows || outcome.revised != rows || outcome.notFound != 0)
        throw std::runtime_error("the run into " + target.toStdString() + " read " + std::to_string(outcome.read) +
                                 ", revised " + std::to_string(outcome.revised) + " and missed " +
                                 std::to_string(outcome.notFound) + " of " + std::to_string(rows) + " rows");
    return seconds;
}

// 棟番号 and 中学校区 of every row as the engine reads them, in its order.
using RowList = std::vector<std::pair<QString, QString>>;

RowList readRows(const QString& path, const QString& password) {
    dao::DatabasePtr db = dao::DBEngine::create()->Workspaces()->Item(0)->OpenDatabase(
        path, vb::vbFalse, vb::vbFalse, QStringLiteral(";pwd=") + password);
    dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral("SELECT 棟番号,中学校区 FROM 棟マスタ"));
    RowList rows;
    const auto text = [](const vb::Variant& v) { return v.isNull() ? QStringLiteral("(Null)") : v.toText(); };
    for (; !vb::isTrue(rs->Eof()); rs->MoveNext())
        rows.emplace_back(text(rs->Collect(QStringLiteral("棟番号"))), text(rs->Collect(QStringLiteral("中学校区"))));
    rs->Close();
    db->Close();
    return rows;
}

// The first row where the two lists differ, empty when they are equal.
std::string firstRowDifference(const RowList& a, const RowList& b) {
    const auto shown = [](const RowList& list, std::size_t i) {
        return i < list.size() ? (list[i].first + QLatin1Char('|') + list[i].second).toStdString() : std::string("(none)");
    };
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i])
            return "row " + std::to_string(i + 1) + ": " + shown(a, i) + " <> " + shown(b, i);
    return {};
}

// What every run must leave: keys 1..rows in order, each with its grown value.
RowList grownRows(std::int64_t rows) {
    RowList expected;
    expected.reserve(static_cast<std::size_t>(rows));
    for (std::int64_t key = 1; key <= rows; ++key)
        expected.emplace_back(QString::number(key), bench::GrownJunior(key));
    return expected;
}

JetTargetResult measureJetTarget(const bench::JetMaker& maker, std::int64_t rows, bool jackcess) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder");
    const QString source = dir.filePath(QStringLiteral("Q4ProDB.mdb"));
    const QString sourceRows = dir.filePath(QStringLiteral("source.tsv"));
    const QString targetRows = dir.filePath(QStringLiteral("target.tsv"));
    const QString jetPristine = dir.filePath(QStringLiteral("jet-pristine.mdb"));
    const QString sqlPristine = dir.filePath(QStringLiteral("sqlcipher-pristine.mdb"));
    const QString jetTarget = dir.filePath(QStringLiteral("jet.mdb"));
    const QString sqlTarget = dir.filePath(QStringLiteral("sqlcipher.mdb"));
    const QString jackcessTarget = dir.filePath(QStringLiteral("jackcess.mdb"));

    bench::GenerateGrowing(rows, 20261208, source, kSourceKey, targetRows, sqlPristine, kTargetKey);
    maker.make(targetRows, jetPristine, bench::JetMaker::Shape::Target);
    QFile::remove(targetRows);
    setJetPassword(jetPristine, kTargetKey);
    const qint64 jetBefore = sizeOf(jetPristine);

    JetTargetResult r;
    r.rows = rows;
    r.runs = rows <= kJackcessCap ? 3 : 1;
    // The kinds take turns to go first, so that neither always meets a
    // warmer cache or a quieter machine; best times, highest peaks.
    for (int round = 0; round < r.runs; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool jet = (round + turn) % 2 == 1;
            const QString& target = jet ? jetTarget : sqlTarget;
            copyFresh(jet ? jetPristine : sqlPristine, target);
            double peak = 0;
            const double seconds = reviseInto(source, target, rows, peak);
            double& best = jet ? r.jetSeconds : r.sqlSeconds;
            best = round == 0 ? seconds : std::min(best, seconds);
            double& highest = jet ? r.jetPeak : r.sqlPeak;
            highest = std::max(highest, peak);
            if (jet) {
                // Each Access run read back through the engine, row by row
                // (after the timing): the same as the SQLCipher run before
                // it, which the first round always has, and as the source says.
                const RowList jetRows = readRows(jetTarget, kTargetKey);
                std::string difference = firstRowDifference(jetRows, readRows(sqlTarget, kTargetKey));
                if (!difference.empty())
                    throw std::runtime_error("the Access and SQLCipher targets differ (rows=" + std::to_string(rows) +
                                             "), first difference at " + difference);
                difference = firstRowDifference(jetRows, grownRows(rows));
                if (!difference.empty())
                    throw std::runtime_error("the targets were not revised as the source says (rows=" +
                                             std::to_string(rows) + "), first difference at " + difference);
            }
        }
    }
    r.jetGrowth = sizeOf(jetTarget) - jetBefore;

    if (jackcess) {
        copyFresh(jetPristine, jackcessTarget);
        bench::WriteSourceRows(source, kSourceKey, sourceRows);
        r.jackcess = maker.revise(sourceRows, jackcessTarget);
        r.jackcessGrowth = sizeOf(jackcessTarget) - jetBefore;
        if (r.jackcess->revised != rows || r.jackcess->notFound != 0)
            throw std::runtime_error("Jackcess revised " + std::to_string(r.jackcess->revised) + " of " +
                                     std::to_string(rows) + " rows");
        // Its file read back through the engine too: what Access's own
        // kind of writer leaves must read as the same table.
        const std::string difference = firstRowDifference(readRows(jackcessTarget, kTargetKey), grownRows(rows));
        if (!difference.empty())
            throw std::runtime_error("the file Jackcess revised reads back differently (rows=" + std::to_string(rows) +
                                     "), first difference at " + difference);
    }
    return r;
}

// Prints the comparison for `sizes`, or says why it was skipped.
void jetTargetComparison(const std::vector<std::int64_t>& sizes, bool jackcessAll) {
    QString why;
    std::optional<bench::JetMaker> maker = bench::JetMaker::find(why);
    if (!maker) {
        std::printf("skipped the Access target comparison and its Jackcess column (the Access target is made "
                    "with Jackcess): %s\n",
                    qPrintable(why));
        std::fflush(stdout);
        return;
    }
    QTemporaryDir classes;
    if (!classes.isValid())
        throw std::runtime_error("no temporary folder");
    maker->compile(classes.path());

    std::printf("\nAccess (Jet 4) target against an SQLCipher target with the same rows, and against Jackcess\n"
                "(every row revised once, each one growing; best of three up to %lld rows, one run above;\n"
                " Jackcess once, %s; its time is the row loop and flush inside the JVM)\n",
                static_cast<long long>(kJackcessCap),
                jackcessAll ? "at every size" : "skipped above that size unless --jackcess-all");
    std::printf("%9s %5s %9s %11s %9s %10s %8s %9s %12s %14s %19s\n", "rows", "runs", "Jet s", "SQLCipher s",
                "Jet/SQLC", "Jackcess s", "Jet MiB", "SQLC MiB", "Jackcess MiB", "Jet growth KiB",
                "Jackcess growth KiB");
    std::fflush(stdout);
    for (const std::int64_t rows : sizes) {
        const JetTargetResult r = measureJetTarget(*maker, rows, jackcessAll || rows <= kJackcessCap);
        const auto orDash = [](bool have, double value, int width, int decimals) {
            char text[32];
            if (have)
                std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
            else
                std::snprintf(text, sizeof text, "%*s", width, "-");
            return std::string(text);
        };
        const bool j = r.jackcess.has_value();
        std::printf("%9lld %5d %9.3f %11.3f %9.2f %s %8.1f %9.1f %s %14.1f %s\n", static_cast<long long>(r.rows), r.runs,
                    r.jetSeconds, r.sqlSeconds, r.jetSeconds / r.sqlSeconds,
                    orDash(j, j ? r.jackcess->seconds : 0, 10, 3).c_str(), r.jetPeak, r.sqlPeak,
                    orDash(j, j ? r.jackcess->peakMiB : 0, 12, 1).c_str(), static_cast<double>(r.jetGrowth) / 1024.0,
                    orDash(j, static_cast<double>(r.jackcessGrowth) / 1024.0, 19, 1).c_str());
        std::fflush(stdout);
    }
}

// Says why the benchmark stopped; the exit status.
int failed(const std::exception& e) {
    if (const auto* error = dynamic_cast<const vb::RuntimeError*>(&e))
        std::fprintf(stderr, "tou-bench: run-time error %d: %s\n", error->number(), e.what());
    else
        std::fprintf(stderr, "tou-bench: %s\n", e.what());
    return 1;
}

int usage() {
    std::fprintf(stderr, "usage: tou-bench [--rows N]... [--index | --no-index | --both] [--access | --no-access]\n"
                         "       tou-bench --jet-target [--jackcess-all] [--rows N]...\n"
                         "  sizes default to 0, 1000, 10000 and 100000 rows; index modes to --both\n"
                         "  --access: only the Access comparison (sizes default to 10000 and 100000 rows,\n"
                         "  the index as the first mode); --no-access: only the first table\n"
                         "  --jet-target: only the Access target comparison (sizes default to 100000 and\n"
                         "  1000000 rows; it takes minutes, so no other run includes it); Jackcess runs\n"
                         "  up to 200000 rows unless --jackcess-all\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QCoreApplication app(argc, argv);
    std::vector<std::int64_t> sizes;
    std::vector<bool> indexModes{true, false};
    bool bulkTable = true, access = true, jetTarget = false, jackcessAll = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rows" && i + 1 < argc) {
            const long long n = std::atoll(argv[++i]);
            if (n < 0)
                return usage();
            sizes.push_back(n);
        } else if (arg == "--no-index") {
            indexModes = {false};
        } else if (arg == "--both") {
            indexModes = {true, false};
        } else if (arg == "--index") {
            indexModes = {true};
        } else if (arg == "--access") {
            bulkTable = false;
            access = true;
        } else if (arg == "--jet-target") {
            jetTarget = true;
        } else if (arg == "--jackcess-all") {
            jackcessAll = true;
        } else if (arg == "--no-access") {
            bulkTable = true;
            access = false;
        } else {
            return usage();
        }
    }
    if (jackcessAll && !jetTarget)
        return usage();
    if (jetTarget) {
        try {
            jetTargetComparison(sizes.empty() ? std::vector<std::int64_t>{100000, 1000000} : sizes, jackcessAll);
        } catch (const std::exception& e) {
            return failed(e);
        }
        return 0;
    }
    const std::vector<std::int64_t> accessSizes = sizes.empty() ? std::vector<std::int64_t>{10000, 100000} : sizes;
    if (sizes.empty())
        sizes = {0, 1000, 10000, 100000};

    // Time per row leaves out the fixed cost of opening both files (deriving
    // their keys, on purpose slow), measured on the same files with empty tables.
    try {
        if (bulkTable)
            std::printf("%9s %6s %9s %9s %7s %9s %9s %8s %8s\n", "rows", "index", "run s", "bulk s", "ratio",
                        "run us/r", "bulk us/r", "run MiB", "bulk MiB");
        for (bool index : bulkTable ? indexModes : std::vector<bool>{}) {
            std::optional<Result> empty;
            for (std::int64_t rows : sizes) {
                if (rows == 0 && empty)
                    continue;
                if (!empty)
                    empty = measureBest(0, index);
                const Result r = rows == 0 ? *empty : measureBest(rows, index);
                const auto perRow = [&](double seconds, double base) {
                    return r.rows ? (seconds - base) * 1e6 / static_cast<double>(r.rows) : 0.0;
                };
                std::printf("%9lld %6s %9.3f %9.3f %7.2f %9.2f %9.2f %8.1f %8.1f\n", static_cast<long long>(r.rows),
                            r.index ? "yes" : "no", r.runSeconds, r.bulkSeconds, r.runSeconds / r.bulkSeconds,
                            perRow(r.runSeconds, empty->runSeconds), perRow(r.bulkSeconds, empty->bulkSeconds),
                            r.runPeak, r.bulkPeak);
                std::fflush(stdout);
            }
        }
        if (access)
            accessComparison(accessSizes, indexModes.front());
    } catch (const std::exception& e) {
        return failed(e);
    }
    return 0;
}
