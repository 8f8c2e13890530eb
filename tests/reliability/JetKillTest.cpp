// An Access target's revision killed outright (SIGKILL) at each kind of write
// step: the copy beside it, page writes, syncs, the rename. The target must
// afterwards be the file as it was or the complete result, and the next run
// must clear what the killed one left and finish the job.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <chrono>
#include <map>
#include <set>

namespace reliability {
namespace {

using namespace std::chrono_literals;

constexpr auto kTimeout = 300s;
// The committed Access target: 399 live rows with keys 1-400 on full pages,
// so most revised rows move to new pages and the maps grow.
const QString kFixture = QStringLiteral(TOU_JET_DATA_DIR "/target-v2000.mdb");

std::vector<Row> sourceRows() {
    std::vector<Row> rows;
    for (int j = 0; j < 420; ++j) {
        const int number = j * 97 % 420 + 1; // scattered; 401-420 are not in the target
        rows.push_back({QString::number(number), QStringLiteral("s"), QStringLiteral("s"),
                        QStringLiteral(u"新中学校区%1").arg(number)});
    }
    return rows;
}

struct JetSuite {
    QTemporaryDir dir;
    QString source;
    QByteArray before, after;          // the target's bytes before and after an uninterrupted run
    std::map<std::string, int> counts; // write steps of that run
    std::string problem;
};

JetSuite* g_jet = nullptr;

QStringList besideTarget(const Layout& files) {
    return QDir(QFileInfo(files.target).path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

void place(const Layout& files) {
    QFile::remove(files.target);
    QFile::copy(kFixture, files.target);
    QFile(files.target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QFile::copy(g_jet->source, files.source);
}

void buildJetSuite(JetSuite& s) {
    s.source = s.dir.filePath(QStringLiteral("Q4ProDB.mdb"));
    writeTable(s.source, kSourceKey, sourceRows());
    s.before = testsupport::FileBytes(kFixture);
    Layout files;
    place(files);
    Process child(childProgram(), {QStringLiteral("run"), files.programDir, files.source, QStringLiteral("--jet-count")});
    const std::optional<QString> end = child.waitForLine({QStringLiteral("done"), QStringLiteral("error")}, kTimeout);
    if (child.finish(60s) != 0 || !end || !end->startsWith(QStringLiteral("done"))) {
        s.problem = "the uninterrupted run failed: " + child.output().join(u'\n').toStdString();
        return;
    }
    for (const QString& line : child.output()) {
        const QStringList parts = line.split(u' ');
        if (parts.size() == 3 && parts[0] == QStringLiteral("count"))
            s.counts[parts[1].toStdString()] = parts[2].toInt();
    }
    s.after = testsupport::FileBytes(files.target);
    if (s.after == s.before)
        s.problem = "the uninterrupted run changed nothing";
    else if (besideTarget(files) != QStringList{QStringLiteral("Q5ProDB.mdb")})
        s.problem = "the uninterrupted run left files beside the target";
}

class JetKillTest : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        g_jet = new JetSuite;
        buildJetSuite(*g_jet);
    }
    static void TearDownTestSuite() {
        delete g_jet;
        g_jet = nullptr;
    }
};

TEST_F(JetKillTest, EveryWriteStepLeavesTheOldFileOrTheWholeResult) {
    if (!QFile::exists(kFixture))
        GTEST_SKIP() << "no Access target fixture";
    ASSERT_TRUE(g_jet->problem.empty()) << g_jet->problem;
    // Every step the run took, at its first, middle and last occurrence, and the rename just done.
    std::set<std::string> plans;
    for (const auto& [event, count] : g_jet->counts)
        for (const int n : {1, (count + 1) / 2, count})
            if (n >= 1)
                plans.insert(event + ":" + std::to_string(n));
    ASSERT_TRUE(g_jet->counts["jet.write"] > 0 && g_jet->counts["jet.rename"] == 1) << "the run wrote no page";
    plans.insert("jet.rename:1+");
    for (const std::string& plan : plans) {
        SCOPED_TRACE(plan);
        Layout files;
        place(files);
        {
            Process child(childProgram(), {QStringLiteral("run"), files.programDir, files.source,
                                           QStringLiteral("--jet-pause"), QString::fromStdString(plan)});
            const std::optional<QString> line =
                child.waitForLine({QStringLiteral("paused"), QStringLiteral("done"), QStringLiteral("error")}, kTimeout);
            ASSERT_TRUE(line && line->startsWith(QStringLiteral("paused")))
                << "the helper never reached the moment:\n" << child.output().join(u'\n').toStdString();
            child.kill();
        }
        const QByteArray killed = testsupport::FileBytes(files.target);
        EXPECT_TRUE(killed == g_jet->before || killed == g_jet->after) << "the target is neither old nor whole";
        // The rename is the one moment the file changes.
        if (plan == "jet.rename:1") {
            EXPECT_TRUE(killed == g_jet->before);
        } else if (plan == "jet.rename:1+") {
            EXPECT_TRUE(killed == g_jet->after);
        }

        Process again(childProgram(), {QStringLiteral("run"), files.programDir, files.source});
        const std::optional<QString> end = again.waitForLine({QStringLiteral("done"), QStringLiteral("error")}, kTimeout);
        ASSERT_TRUE(end) << again.output().join(u'\n').toStdString();
        EXPECT_TRUE(end->startsWith(QStringLiteral("done"))) << end->toStdString();
        EXPECT_EQ(again.finish(60s), 0);
        // A rerun over the finished file writes the same values again: the same file.
        EXPECT_TRUE(testsupport::FileBytes(files.target) == g_jet->after) << "the next run did not finish the job";
        EXPECT_EQ(besideTarget(files), QStringList{QStringLiteral("Q5ProDB.mdb")});
    }
}

} // namespace
} // namespace reliability
