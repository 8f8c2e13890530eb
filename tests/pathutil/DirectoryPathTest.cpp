#include "pathutil/cShlwVB.h"
#include "platform/fso/FileSystemObject.h"
#include "platform/ui/App.h"
#include "platform/ui/MsgBox.h"
#include "runtime/RuntimeError.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const cShlwVB shlw;
const QString kProgId = QStringLiteral("Scripting.FileSystemObject");

// Records the folder calls; with `onDisk` they also reach the real disk,
// otherwise an in-memory set of folders answers them.
class RecordingFso : public fso::FileSystemObject {
public:
    explicit RecordingFso(bool onDisk) : onDisk_(onDisk) {}

    vb::Boolean FolderExists(const QString& path) override {
        calls.push_back(QStringLiteral("exists ") + path);
        return onDisk_ ? FileSystemObject::FolderExists(path) : vb::toBoolean(folders.count(path) > 0);
    }
    void CreateFolder(const QString& path) override {
        calls.push_back(QStringLiteral("create ") + path);
        if (failOn == path)
            vb::raise(fso::kPermissionDenied, QStringLiteral("Permission denied: ") + path);
        if (onDisk_)
            FileSystemObject::CreateFolder(path);
        else
            folders.insert(path);
    }

    std::set<QString> folders;
    std::vector<QString> calls;
    QString failOn;

private:
    bool onDisk_;
};

// Collects every box instead of showing it.
struct BoxRecorder {
    std::vector<platform::MsgBoxRequest> boxes;
    platform::ScopedMsgBoxHandler handler{[this](const platform::MsgBoxRequest& r) {
        boxes.push_back(r);
        return platform::vbOK;
    }};
};

// The temporary folder written the way callers write paths.
QString backslashed(const QString& path) {
    QString p = path;
    return p.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

std::vector<QString> list(std::initializer_list<const char*> items) {
    std::vector<QString> v;
    for (const char* s : items)
        v.emplace_back(QString::fromUtf8(s));
    return v;
}

TEST(DirectoryWalk, TestsAndCreatesEachMissingLevelTopDown) {
    const struct { const char* path; std::vector<QString> existing; std::vector<QString> calls; } rows[] = {
        {R"(C:\data\sub)", {}, list({R"(exists C:\data\)", R"(create C:\data\)", R"(exists C:\data\sub\)", R"(create C:\data\sub\)"})},
        {R"(C:\data\sub\)", list({R"(C:\data\)"}), list({R"(exists C:\data\)", R"(exists C:\data\sub\)", R"(create C:\data\sub\)"})},
        {R"(C:\)", {}, {}},
        {"C:", {}, {}},
        {R"(\\server\share\dir)", {}, list({R"(exists \\server\share\dir\)", R"(create \\server\share\dir\)"})},
        {R"(C:\a\\b)", {}, list({R"(exists C:\a\)", R"(create C:\a\)", R"(exists C:\a\)", R"(exists C:\a\b\)", R"(create C:\a\b\)"})},
        {"", {}, {}},
    };
    for (const auto& r : rows) {
        auto fake = std::make_shared<RecordingFso>(false);
        fake->folders.insert(r.existing.begin(), r.existing.end());
        fso::ScopedFactoryOverride override(kProgId, [fake] { return fake; });
        BoxRecorder recorder;
        EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(r.path), vb::vbFalse) << r.path;
        EXPECT_EQ(fake->calls, r.calls) << r.path;
        EXPECT_TRUE(recorder.boxes.empty()) << r.path;
    }
}

TEST(DirectoryWalk, AnErrorStopsTheWalkAndShowsOneCriticalBox) {
    std::weak_ptr<RecordingFso> created;
    fso::ScopedFactoryOverride override(kProgId, [&created] {
        auto fake = std::make_shared<RecordingFso>(false);
        fake->failOn = QStringLiteral(R"(C:\a\b\)");
        created = fake;
        return fake;
    });
    BoxRecorder recorder;
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(QStringLiteral(R"(C:\a\b\c)")), vb::vbTrue);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].prompt, QStringLiteral("70\r\nPermission denied: C:\\a\\b\\"));
    EXPECT_EQ(recorder.boxes[0].buttons, platform::vbCritical);
    EXPECT_EQ(recorder.boxes[0].title, platform::App::Title());
    EXPECT_TRUE(created.expired()) << "the object is released after the walk";
}

class OnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        root = tmp_.path();
        rootBs = backslashed(root);
    }
    bool makeFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    }
    bool isDir(const QString& path) { return QFileInfo(path).isDir(); }

    QString root;   // "/" form, for checking
    QString rootBs; // "\" form, for the calls

private:
    QTemporaryDir tmp_;
};

// Takes write permission from a folder for one test and gives it back.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(QString path) : path_(std::move(path)) {
        ::chmod(QFile::encodeName(path_).constData(), 0555);
    }
    ~ReadOnlyFolder() { ::chmod(QFile::encodeName(path_).constData(), 0755); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
    QString path_;
};

TEST_F(OnDisk, WalkCreatesMissingLevelsTopDownThenNothing) {
    auto recorder = std::make_shared<RecordingFso>(true);
    fso::ScopedFactoryOverride override(kProgId, [recorder] { return recorder; });
    BoxRecorder boxes;
    const QString target = rootBs + "\\a\\b\\c";
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(target), vb::vbFalse);
    EXPECT_TRUE(isDir(root + "/a/b/c"));
    std::vector<QString> creates;
    for (const QString& call : recorder->calls)
        if (call.startsWith(QStringLiteral("create ")))
            creates.push_back(call);
    EXPECT_EQ(creates, (std::vector<QString>{"create " + rootBs + "\\a\\", "create " + rootBs + "\\a\\b\\",
                                            "create " + rootBs + "\\a\\b\\c\\"}));

    recorder->calls.clear();
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(target + "\\"), vb::vbFalse);
    for (const QString& call : recorder->calls)
        EXPECT_FALSE(call.startsWith(QStringLiteral("create "))) << call.toStdString();
    EXPECT_FALSE(recorder->calls.empty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(OnDisk, WalkWithTheRealObjectAcceptsADoubledSeparator) {
    BoxRecorder boxes;
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(rootBs + "\\a\\\\b"), vb::vbFalse);
    EXPECT_TRUE(isDir(root + "/a/b"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(OnDisk, FileInTheWayReportsFileExistsOnceAndKeepsTheFoldersAbove) {
    ASSERT_TRUE(QDir(root).mkdir("a"));
    ASSERT_TRUE(makeFile(root + "/a/f"));
    BoxRecorder boxes;
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(rootBs + "\\a\\f\\g"), vb::vbTrue);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(QStringLiteral("58\r\n"))) << boxes.boxes[0].prompt.toStdString();
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
    EXPECT_TRUE(isDir(root + "/a"));
    EXPECT_TRUE(QFileInfo(root + "/a/f").isFile());
    EXPECT_FALSE(QFileInfo::exists(root + "/a/f/g"));
}

TEST_F(OnDisk, ParentWithoutWritePermissionReportsPermissionDenied) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    ASSERT_TRUE(QDir(root).mkdir("ro"));
    ReadOnlyFolder guard(root + "/ro");
    BoxRecorder boxes;
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(rootBs + "\\ro\\x\\y"), vb::vbTrue);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(QStringLiteral("70\r\n"))) << boxes.boxes[0].prompt.toStdString();
    EXPECT_FALSE(QFileInfo::exists(root + "/ro/x"));
}

TEST_F(OnDisk, UnknownComponentReportsCannotCreateAndTouchesNothing) {
    fso::ScopedFactoryOverride missing(kProgId, {});
    BoxRecorder boxes;
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(rootBs + "\\a\\b"), vb::vbTrue);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(QStringLiteral("429\r\n"))) << boxes.boxes[0].prompt.toStdString();
    EXPECT_TRUE(QDir(root).isEmpty());
}

TEST_F(OnDisk, EmptyTextCompletesWithoutTouchingAnything) {
    auto recorder = std::make_shared<RecordingFso>(true);
    fso::ScopedFactoryOverride override(kProgId, [recorder] { return recorder; });
    BoxRecorder boxes;
    EXPECT_EQ(shlw.VBMakeSureDirectoryPathExists(QString()), vb::vbFalse);
    EXPECT_TRUE(recorder->calls.empty());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(QDir(root).isEmpty());
}

} // namespace
