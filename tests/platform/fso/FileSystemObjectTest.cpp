#include "platform/fso/FileSystemObject.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <typeinfo>

namespace {

using testsupport::raised;

const QString kProgId = QStringLiteral("Scripting.FileSystemObject");

TEST(FileSystemObject, CreateObjectKnowsOnlyTheScriptingIdentifier) {
    for (const char* id : {"Scripting.FileSystemObject", "scripting.filesystemobject", "SCRIPTING.FILESYSTEMOBJECT"})
        EXPECT_NE(fso::CreateObject(id), nullptr) << id;
    for (const char* id : {"Scripting.Dictionary", "", "Scripting.FileSystemObject "})
        EXPECT_EQ(raised([&] { fso::CreateObject(id); }).number(), fso::kCannotCreateObject) << id;
}

TEST(FileSystemObject, OverridesNestAndRestore) {
    struct Fake : fso::FileSystemObject {};
    auto fake = std::make_shared<Fake>();
    {
        fso::ScopedFactoryOverride outer(kProgId, [fake] { return fake; });
        {
            fso::ScopedFactoryOverride inner(QStringLiteral("scripting.FILESYSTEMOBJECT"), {});
            EXPECT_EQ(raised([] { fso::CreateObject(kProgId); }).number(), fso::kCannotCreateObject);
        }
        EXPECT_EQ(fso::CreateObject(kProgId), fake);
    }
    const auto real = fso::CreateObject(kProgId);
    EXPECT_NE(real, fake);
    EXPECT_EQ(typeid(*real), typeid(fso::FileSystemObject));
}

TEST(FileSystemObject, GetDriveName) {
    const struct { const char* path; const char* drive; } rows[] = {
        {R"(C:\data\)", "C:"}, {"c:", "c:"}, {"z:x", "z:"}, {R"(\\server\share\dir\)", R"(\\server\share)"},
        {R"(\\server\share)", R"(\\server\share)"}, {R"(\\server\)", ""}, {R"(\\server)", ""},
        {R"(\\\share\)", ""}, {R"(\tmp\a\)", ""}, {R"(1:\x)", ""}, {"", ""},
    };
    fso::FileSystemObject real;
    for (const auto& r : rows)
        EXPECT_EQ(real.GetDriveName(r.path), QString(r.drive)) << r.path;
}

TEST(FileSystemObject, FolderExistsAndCreateFolderOnDisk) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    const QString rootBs = QString(root).replace(QLatin1Char('/'), QLatin1Char('\\'));
    fso::FileSystemObject real;
    QFile file(root + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(real.FolderExists(rootBs), vb::vbTrue);
    EXPECT_EQ(real.FolderExists(rootBs + "\\"), vb::vbTrue);
    EXPECT_EQ(real.FolderExists(rootBs + "\\file"), vb::vbFalse);
    EXPECT_EQ(real.FolderExists(rootBs + "\\none"), vb::vbFalse);

    real.CreateFolder(rootBs + "\\new\\");
    EXPECT_TRUE(QFileInfo(root + "/new").isDir());
    const struct { QString path; int number; } rows[] = {
        {rootBs + "\\missing\\x", fso::kPathNotFound}, {rootBs + "\\new", fso::kFileAlreadyExists},
        {rootBs + "\\file", fso::kFileAlreadyExists}, {rootBs + "\\file\\x", fso::kPathNotFound},
    };
    for (const auto& r : rows) {
        const vb::RuntimeError e = raised([&] { real.CreateFolder(r.path); });
        EXPECT_EQ(e.number(), r.number) << r.path.toStdString();
        EXPECT_TRUE(e.description().contains(r.path)) << e.description().toStdString();
    }
}

} // namespace
