// A revision of 20,000 rows killed outright (SIGKILL) at chosen moments: the
// helper process stops inside the file layer at that moment and is killed
// there. Afterwards the target must be sound, each row must hold either its
// old or its new value, and a complete run must finish the job exactly as an
// uninterrupted run does.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

#include <chrono>
#include <functional>
#include <memory>
#include <set>

namespace reliability {
namespace {

using namespace std::chrono_literals;

// The sanitiser build runs the same moments over fewer rows: there it looks
// for memory and undefined-behaviour faults, and 20,000 rows would take it
// minutes per moment.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kRows = 4000;
#else
constexpr int kRows = 20000;
#endif
constexpr auto kRunTimeout = 600s; // generous: the sanitiser build is many times slower

std::vector<Row> targetRows() {
    std::vector<Row> rows;
    for (int i = 1; i <= kRows; ++i) {
        // Every 101st row repeats the number before it: only the first of the two may change.
        const int number = i % 101 == 0 ? i - 1 : i;
        rows.push_back({QString::number(number), QStringLiteral(u"棟%1").arg(i), QStringLiteral(u"小%1").arg(i % 37),
                        QStringLiteral(u"旧")});
    }
    return rows;
}

std::vector<Row> sourceRows() {
    std::vector<Row> rows;
    for (int j = 0; j < kRows; ++j) {
        // A scattered order over 1..kRows * 1.05 (numbers past kRows are not in the target),
        // every 50th row repeating the number before it with another value;
        // values of varying length so that pages fill up and split.
        const int k = j % 50 == 0 && j > 0 ? j - 1 : j;
        constexpr int kSpread = kRows + kRows / 20; // 7919 is a prime not dividing it: k -> number is one-to-one
        const int number = static_cast<int>(static_cast<long long>(k) * 7919 % kSpread) + 1;
        rows.push_back({QString::number(number), QStringLiteral("s"), QStringLiteral("s"),
                        j % 997 == 0 ? kNull
                                     : QStringLiteral(u"新%1-%2").arg(j).arg(QString(j % 40, u'x'))});
    }
    return rows;
}

// Built once: the original files, what an uninterrupted run leaves, and how
// often each file event happened in that run.
struct Suite {
    QTemporaryDir dir;
    QString target, source;
    QByteArray targetBytes, sourceBytes;
    QStringList before, expected;
    // Per row, every value a killed run may leave: the old one and each one a
    // source row with its number assigns (a number may come more than once).
    std::vector<QSet<QString>> possible;
    std::map<std::string, int> counts;
    std::string problem;
};

Suite* g_suite = nullptr;

void copyTo(const Layout& files) {
    QFile::copy(g_suite->target, files.target);
    QFile::copy(g_suite->source, files.source);
}

void buildSuite(Suite& s) {
    s.target = s.dir.filePath(QStringLiteral("Q5ProDB.mdb"));
    s.source = s.dir.filePath(QStringLiteral("Q4ProDB.mdb"));
    const std::vector<Row> target = targetRows(), source = sourceRows();
    writeTable(s.target, kTargetKey, target);
    writeTable(s.source, kSourceKey, source);
    s.targetBytes = testsupport::FileBytes(s.target);
    s.sourceBytes = testsupport::FileBytes(s.source);
    s.before = dumpOf(target);
    std::map<QString, QStringList> assigned;
    for (const Row& r : source)
        assigned[r.number] << (r.junior == kNull ? QString() : r.junior);
    std::set<QString> seen;
    for (std::size_t i = 0; i < target.size(); ++i) {
        QSet<QString> rows{s.before[static_cast<qsizetype>(i)]};
        if (seen.insert(target[i].number).second) {
            for (const QString& value : assigned[target[i].number]) {
                Row changed = target[i];
                changed.junior = value;
                rows << dumpOf({changed}).front().section(u'|', 1).prepend(QString::number(i + 1) + u'|');
            }
        }
        s.possible.push_back(rows);
    }

    Layout files;
    copyTo(files);
    Process child(childProgram(), {QStringLiteral("run"), files.programDir, files.source, QStringLiteral("--count")});
    const std::optional<QString> end = child.waitForLine({QStringLiteral("done"), QStringLiteral("error")}, kRunTimeout);
    const std::optional<int> status = child.finish(60s);
    if (!end || !end->startsWith(QStringLiteral("done")) || status != 0) {
        s.problem = "the uninterrupted run failed: " + child.output().join(u'\n').toStdString();
        return;
    }
    for (const QString& line : child.output()) {
        const QStringList parts = line.split(u' ');
        if (parts.size() == 3 && parts[0] == QStringLiteral("count"))
            s.counts[parts[1].toStdString()] = parts[2].toInt();
    }
    s.expected = dump(files.target, kTargetKey);
    // Guards against a run that quietly does nothing: the result must be the one worked out independently.
    if (s.expected != dumpOf(expectedTarget(target, source)))
        s.problem = "the uninterrupted run left other values than the rule gives";
    else if (s.expected == s.before)
        s.problem = "the uninterrupted run changed nothing";
}

enum class After {
    Untouched, // not a byte written
    AllOld,    // whatever was written is rolled back
    Mixed,     // any mixture
    Partial,   // some of the rows that change have changed, not all
    AllNew,
};

struct Moment {
    const char* name;
    std::function<std::string(const std::map<std::string, int>&)> plan;
    bool torn;
    After after;
};

void PrintTo(const Moment& m, std::ostream* os) {
    *os << m.name;
}

// The event's occurrence at the given fraction of the uninterrupted run.
std::string at(const std::map<std::string, int>& counts, const std::string& event, double fraction) {
    const auto it = counts.find(event);
    return event + ":" + std::to_string(it == counts.end() ? 1 : std::max(1, static_cast<int>(it->second * fraction)));
}

// Holds the run half way through the source rows for longer than the
// commit delay, so the engine's timer commits what was done so far.
std::string commitHalfWay(const std::map<std::string, int>& counts) {
    return at(counts, "source-db.lock1", 0.5) + "@1500";
}

class KillTest : public ::testing::TestWithParam<Moment> {
public:
    static void SetUpTestSuite() {
        g_suite = new Suite;
        buildSuite(*g_suite);
    }
    static void TearDownTestSuite() {
        delete g_suite;
        g_suite = nullptr;
    }
    void SetUp() override {
        if (!g_suite->problem.empty())
            GTEST_FAIL() << g_suite->problem;
        ASSERT_EQ(g_suite->before.size(), kRows);
    }
};

TEST_P(KillTest, LeavesOldOrNewRowsAndTheNextRunFinishesTheJob) {
    const Moment& m = GetParam();
    const std::string plan = m.plan(g_suite->counts);
    SCOPED_TRACE(plan);
    // The run's timing decides how its updates fall into commits; should the
    // moment not come in one run (a commit fell elsewhere), a fresh run tries again.
    std::unique_ptr<Layout> files;
    bool paused = false;
    QStringList output;
    for (int attempt = 0; attempt < 3 && !paused; ++attempt) {
        files = std::make_unique<Layout>();
        copyTo(*files);
        QStringList args{QStringLiteral("run"), files->programDir, files->source, QStringLiteral("--pause"),
                         QString::fromStdString(plan)};
        if (m.torn)
            args << QStringLiteral("--torn");
        Process child(childProgram(), args);
        const std::optional<QString> line =
            child.waitForLine({QStringLiteral("paused"), QStringLiteral("done"), QStringLiteral("error")}, kRunTimeout);
        paused = line && line->startsWith(QStringLiteral("paused"));
        child.kill();
        output = child.output();
    }
    ASSERT_TRUE(paused) << "the helper never reached the moment:\n" << output.join(u'\n').toStdString();

    EXPECT_EQ(testsupport::FileBytes(files->source), g_suite->sourceBytes) << "the source was written";
    if (m.after == After::Untouched) {
        EXPECT_EQ(testsupport::FileBytes(files->target), g_suite->targetBytes);
        EXPECT_FALSE(QFile::exists(files->target + QStringLiteral("-journal")));
    }

    // Opening for writing rolls back whatever the killed run left half done.
    EXPECT_EQ(integrity(files->target, kTargetKey), QStringLiteral("ok"));
    const QStringList after = dump(files->target, kTargetKey);
    ASSERT_EQ(after.size(), g_suite->before.size());
    int oldRows = 0, newRows = 0, neither = 0;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (after[i] == g_suite->expected[i])
            ++newRows;
        else if (after[i] == g_suite->before[i])
            ++oldRows;
        else if (!g_suite->possible[static_cast<std::size_t>(i)].contains(after[i]) && ++neither <= 5)
            ADD_FAILURE() << "row " << i + 1 << " is neither old nor new: " << after[i].toStdString();
    }
    EXPECT_EQ(neither, 0);
    const int changing = static_cast<int>(std::count_if(g_suite->before.begin(), g_suite->before.end(), [&, i = 0](const QString& r) mutable {
        return r != g_suite->expected[i++];
    }));
    const int changed = newRows - (kRows - changing); // rows that were meant to change and did
    switch (m.after) {
    case After::Untouched:
    case After::AllOld:
        EXPECT_EQ(changed, 0);
        break;
    case After::AllNew:
        EXPECT_EQ(changed, changing);
        break;
    case After::Partial:
        EXPECT_GT(changed, 0);
        EXPECT_LT(changed, changing);
        break;
    case After::Mixed:
        break;
    }
    RecordProperty("rows_changed_before_kill", changed);

    Process again(childProgram(), {QStringLiteral("run"), files->programDir, files->source});
    const std::optional<QString> end = again.waitForLine({QStringLiteral("done"), QStringLiteral("error")}, kRunTimeout);
    ASSERT_TRUE(end) << again.output().join(u'\n').toStdString();
    EXPECT_TRUE(end->startsWith(QStringLiteral("done"))) << end->toStdString();
    EXPECT_EQ(again.finish(60s), 0);
    EXPECT_EQ(integrity(files->target, kTargetKey), QStringLiteral("ok"));
    EXPECT_EQ(dump(files->target, kTargetKey), g_suite->expected);
    EXPECT_EQ(testsupport::FileBytes(files->source), g_suite->sourceBytes);
}

auto fixed(const char* plan) {
    return [plan](const std::map<std::string, int>&) { return std::string(plan); };
}

INSTANTIATE_TEST_SUITE_P(
    Moments, KillTest,
    ::testing::Values(
        Moment{"BeforeTheFirstUpdate", fixed("target-db.lock2:1"), false, After::Untouched},
        Moment{"HalfWayThroughTheFirstJournalWrite", fixed("target-journal.write:1"), true, After::AllOld},
        Moment{"HalfWayThroughTheFirstPageOfTheFirstCommit", fixed("target-db.write:1"), true, After::AllOld},
        Moment{"FirstCommitWrittenButJournalNotYetDeleted", fixed("target-journal.delete:1"), false, After::AllOld},
        Moment{"HalfWayThroughTheSourceRows",
               [](const std::map<std::string, int>& c) { return at(c, "source-db.lock1", 0.5); }, false, After::Mixed},
        // The first page write after half the source rows: how many writes a
        // run makes depends on when the timer commits, so a count of them
        // may never be reached on a busy machine; a write after that point always comes.
        Moment{"HalfWayThroughThePageWrites",
               [](const std::map<std::string, int>& c) { return at(c, "source-db.lock1", 0.5) + ",target-db.write:1"; },
               true, After::Mixed},
        Moment{"HalfWayThroughACommitOfTheTimer",
               [](const std::map<std::string, int>& c) { return commitHalfWay(c) + ",target-db.write:2"; }, true,
               After::Mixed},
        Moment{"ThreeQuartersThroughTheRowsAfterACommit",
               [](const std::map<std::string, int>& c) { return commitHalfWay(c) + "," + at(c, "source-db.lock1", 0.25); },
               false, After::Partial},
        Moment{"CloseHalfWayThroughTheLastCommit", fixed("source-db.close:1,target-db.write:1"), true, After::Mixed},
        Moment{"CloseLastCommitWrittenButJournalNotYetDeleted", fixed("source-db.close:1,target-journal.delete:1"),
               false, After::Mixed},
        Moment{"CloseAfterTheLastCommit", fixed("source-db.close:1,target-db.close:1"), false, After::AllNew}),
    [](const ::testing::TestParamInfo<Moment>& param) { return std::string(param.param.name); });

} // namespace
} // namespace reliability
