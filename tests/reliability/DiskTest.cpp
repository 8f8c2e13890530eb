// Targets that cannot be written: a full disk (a file size limit on the
// helper process, which ignores SIGXFSZ so that writes fail instead of
// killing it), a read-only file, a read-only folder and an immutable file.
// Each run ends with a clear error; the target stays sound and opens again.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include "platform/dao/ErrorCodes.h"

#include <gtest/gtest.h>

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

namespace reliability {
namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

// Short old values, long new ones: the target has to grow to take them.
struct GrowingFiles {
    GrowingFiles() {
        for (int i = 1; i <= 3000; ++i) {
            target.push_back({QString::number(i), QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("o")});
            source.push_back({QString::number(i), QStringLiteral("s"), QStringLiteral("p"),
                              QStringLiteral(u"新しい中学校区-%1-").arg(i) + QString(150, u'z')});
        }
        writeTable(files.target, kTargetKey, target);
        writeTable(files.source, kSourceKey, source);
        targetBytes = testsupport::FileBytes(files.target);
        sourceBytes = testsupport::FileBytes(files.source);
    }

    // Sound, each row old or new, and a run without the fault completes the job.
    void expectIntactAndRecoverable() {
        EXPECT_EQ(testsupport::FileBytes(files.source), sourceBytes);
        EXPECT_EQ(integrity(files.target, kTargetKey), QStringLiteral("ok"));
        const QStringList before = dumpOf(target), expected = dumpOf(expectedTarget(target, source));
        const QStringList after = dump(files.target, kTargetKey);
        ASSERT_EQ(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i)
            if (after[i] != before[i] && after[i] != expected[i])
                ADD_FAILURE() << "row " << i + 1 << ": " << after[i].toStdString();
        const Outcome again = runInProcess(files.programDir, files.source);
        EXPECT_TRUE(again.completed) << again.error << " " << again.description.toStdString();
        EXPECT_EQ(dump(files.target, kTargetKey), expected);
    }

    Layout files;
    std::vector<Row> target, source;
    QByteArray targetBytes, sourceBytes;
};

struct Outcomes {
    std::optional<QString> line;
    std::optional<int> status;
    QStringList output;
};

Outcomes runChild(const Layout& files, const Limits& limits) {
    Process child(childProgram(), {QStringLiteral("run"), files.programDir, files.source}, limits);
    Outcomes o;
    o.line = child.waitForLine({QStringLiteral("done"), QStringLiteral("error")}, 600s);
    o.status = child.finish(60s);
    o.output = child.output();
    return o;
}

class FullDiskTest : public ::testing::TestWithParam<std::int64_t> {};

TEST_P(FullDiskTest, EndsWithDiskFullAndLeavesTheTargetIntact) {
    GrowingFiles g;
    // The limit is relative to the target's size: negative stops the journal
    // early, zero stops the target from growing at all, positive lets it grow a little.
    const auto limit = static_cast<unsigned long long>(GetParam() < 0 ? 4096 : g.targetBytes.size() + GetParam());
    const Outcomes o = runChild(g.files, Limits{limit, true, std::nullopt});
    ASSERT_TRUE(o.line) << o.output.join(u'\n').toStdString();
    EXPECT_TRUE(o.line->startsWith(QStringLiteral("error %1 ").arg(dao::err::kDiskFull))) << o.line->toStdString();
    EXPECT_TRUE(o.line->contains(g.files.target)) << o.line->toStdString();
    EXPECT_EQ(o.status, 1);
    g.expectIntactAndRecoverable();
}

INSTANTIATE_TEST_SUITE_P(Limits, FullDiskTest, ::testing::Values(-1, 0, 16384),
                         [](const ::testing::TestParamInfo<std::int64_t>& param) {
                             return param.param < 0 ? std::string("JournalCannotGrow")
                                                   : param.param == 0 ? std::string("TargetCannotGrow")
                                                                     : std::string("TargetGrowsALittle");
                         });

// Permission bits do not stop root: then the run is made as an ordinary user.
std::optional<uid_t> runAsUser() {
    return ::geteuid() == 0 ? std::optional<uid_t>(kNobody) : std::nullopt;
}

void makeReachable(const Layout& files) {
    for (const QString& dir : {files.root.path(), files.programDir, files.root.filePath(QStringLiteral("src"))})
        ::chmod(dir.toLocal8Bit().constData(), 0755);
    ::chmod(files.source.toLocal8Bit().constData(), 0644);
}

struct UnwritableCase {
    const char* name;
    mode_t folderMode; // of Q_db
    mode_t fileMode;   // of the target
};

void PrintTo(const UnwritableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnwritableTest : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableTest, EndsWithAClearErrorAndChangesNothing) {
    const UnwritableCase& c = GetParam();
    GrowingFiles g;
    makeReachable(g.files);
    const QString folder = g.files.programDir + QStringLiteral("/Q_db");
    ::chmod(folder.toLocal8Bit().constData(), c.folderMode);
    ::chmod(g.files.target.toLocal8Bit().constData(), c.fileMode);
    const std::map<QString, QByteArray> before = snapshot(g.files.root.path());

    const Outcomes o = runChild(g.files, Limits{std::nullopt, false, runAsUser()});
    ::chmod(folder.toLocal8Bit().constData(), 0755);
    ::chmod(g.files.target.toLocal8Bit().constData(), 0644);
    if (o.status == 126)
        GTEST_SKIP() << "cannot run as an ordinary user here";
    ASSERT_TRUE(o.line) << o.output.join(u'\n').toStdString();
    EXPECT_TRUE(o.line->startsWith(QStringLiteral("error %1 ").arg(dao::err::kReadOnly))) << o.line->toStdString();
    EXPECT_TRUE(o.line->contains(g.files.target)) << o.line->toStdString();
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(snapshot(g.files.root.path()), before);
    g.expectIntactAndRecoverable();
}

INSTANTIATE_TEST_SUITE_P(Permissions, UnwritableTest,
                         ::testing::Values(UnwritableCase{"ReadOnlyFile", 0777, 0444},
                                           UnwritableCase{"ReadOnlyFolder", 0555, 0666}),
                         [](const ::testing::TestParamInfo<UnwritableCase>& param) { return std::string(param.param.name); });

// The immutable attribute holds even against root.
class Immutable {
public:
    explicit Immutable(const QString& path) : fd_(::open(path.toLocal8Bit().constData(), O_RDONLY)) {
        int flags = 0;
        set_ = fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
               (flags |= FS_IMMUTABLE_FL, ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~Immutable() {
        int flags = 0;
        if (set_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        if (fd_ >= 0)
            ::close(fd_);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool set() const { return set_; }

private:
    int fd_;
    bool set_ = false;
};

TEST(UnwritableTarget, ImmutableFileEndsWithReadOnlyError) {
    GrowingFiles g;
    const std::map<QString, QByteArray> before = snapshot(g.files.root.path());
    Outcome outcome;
    {
        const Immutable immutable(g.files.target);
        if (!immutable.set())
            GTEST_SKIP() << "this file system or user cannot set the immutable attribute";
        outcome = runInProcess(g.files.programDir, g.files.source);
    }
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.error, dao::err::kReadOnly) << outcome.description.toStdString();
    EXPECT_TRUE(outcome.description.contains(g.files.target)) << outcome.description.toStdString();
    EXPECT_EQ(snapshot(g.files.root.path()), before);
    g.expectIntactAndRecoverable();
}

} // namespace
} // namespace reliability
