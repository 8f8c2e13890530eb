// Another process holds a lock on the target or the source while Execute is
// clicked. A lock longer than the engine's bounded wait ends the run with the
// locked error in about ten seconds at most, with nothing changed; a shorter
// one is waited out and the run completes.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include "platform/dao/ErrorCodes.h"

#include <gtest/gtest.h>

#include <chrono>

namespace reliability {
namespace {

using namespace std::chrono_literals;

enum class Held { Target, Source };

struct LockCase {
    const char* name;
    Held file;
    const char* statements; // what the other process runs and keeps open
    int holdMs;
    int expectedError;      // 0: the run completes
    int waits = 1;          // bounded waits of about five seconds the run may sit through before giving up
};

void PrintTo(const LockCase& c, std::ostream* os) {
    *os << c.name;
}

class LockTest : public ::testing::TestWithParam<LockCase> {};

TEST_P(LockTest, EndsWithinItsBoundedWait) {
    const LockCase& c = GetParam();
    Layout files;
    std::vector<Row> target, source;
    for (int i = 1; i <= 300; ++i) {
        target.push_back({QString::number(i), QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("old")});
        source.push_back({QString::number(301 - i), QStringLiteral("s"), QStringLiteral("p"), QStringLiteral("new%1").arg(i)});
    }
    writeTable(files.target, kTargetKey, target);
    writeTable(files.source, kSourceKey, source);
    const std::map<QString, QByteArray> before = snapshot(files.root.path());

    const bool onTarget = c.file == Held::Target;
    Process holder(childProgram(), {QStringLiteral("hold"), onTarget ? files.target : files.source,
                                    onTarget ? kTargetKey : kSourceKey, QString::fromUtf8(c.statements),
                                    QString::number(c.holdMs)});
    const std::optional<QString> held = holder.waitForLine({QStringLiteral("held"), QStringLiteral("failed")}, 30s);
    ASSERT_EQ(held, QStringLiteral("held")) << holder.output().join(u'\n').toStdString();

    const Outcome outcome = runInProcess(files.programDir, files.source);
    RecordProperty("run_ms", static_cast<int>(outcome.elapsedMs));
    // Rolled back by its owner, the other process's own change leaves no trace.
    ASSERT_TRUE(holder.waitForLine({QStringLiteral("released")}, 60s));
    ASSERT_EQ(holder.finish(30s), 0);

    if (c.expectedError == 0) {
        EXPECT_TRUE(outcome.completed) << outcome.error << " " << outcome.description.toStdString();
        EXPECT_EQ(outcome.error, 0);
        // The lock really was in the way: the run had to wait for it.
        EXPECT_GE(outcome.elapsedMs, c.holdMs / 3);
        EXPECT_EQ(dump(files.target, kTargetKey), dumpOf(expectedTarget(target, source)));
    } else {
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.error, c.expectedError) << outcome.description.toStdString();
        EXPECT_TRUE(outcome.description.contains(onTarget ? files.target : files.source))
            << outcome.description.toStdString();
        EXPECT_LT(outcome.elapsedMs, c.waits * 5000 + 2000) << "the run must give up after its bounded wait";
        EXPECT_EQ(snapshot(files.root.path()), before) << "a locked run changed a file";
    }
    EXPECT_EQ(integrity(files.target, kTargetKey), QStringLiteral("ok"));
}

// The engine waits about five seconds; nine is well past it, one and a half
// well within. Against a reader the update itself goes through, but its
// commit waits twice (at Close and once more as the database is let go).
INSTANTIATE_TEST_SUITE_P(
    Locks, LockTest,
    ::testing::Values(
        LockCase{"TargetExclusiveLong", Held::Target, "BEGIN EXCLUSIVE", 9000, dao::err::kFileInUse},
        LockCase{"SourceExclusiveLong", Held::Source, "BEGIN EXCLUSIVE", 9000, dao::err::kFileInUse},
        LockCase{"TargetWriterLong", Held::Target, "BEGIN IMMEDIATE; UPDATE 棟マスタ SET 小学校区 = 'other'", 9000,
                 dao::err::kUpdateLocked},
        LockCase{"TargetReaderLong", Held::Target, "BEGIN; SELECT count(*) FROM 棟マスタ", 15000,
                 dao::err::kUpdateLocked, 2},
        LockCase{"TargetExclusiveShort", Held::Target, "BEGIN EXCLUSIVE", 1500, 0},
        LockCase{"SourceExclusiveShort", Held::Source, "BEGIN EXCLUSIVE", 1500, 0},
        LockCase{"TargetWriterShort", Held::Target, "BEGIN IMMEDIATE; UPDATE 棟マスタ SET 小学校区 = 'other'", 1500, 0},
        LockCase{"TargetReaderShort", Held::Target, "BEGIN; SELECT count(*) FROM 棟マスタ", 1500, 0}),
    [](const ::testing::TestParamInfo<LockCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace reliability
