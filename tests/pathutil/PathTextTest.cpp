#include "pathutil/cShlwVB.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <random>

using testsupport::outcome;

namespace {

const cShlwVB shlw;
constexpr vb::Boolean kOtherTrue = 1; // any non-zero value counts as true

struct OneText { const char* input; const char* expected; };
struct TwoOptions { const char* input; const char* withMark; const char* withoutMark; };

TEST(PathText, AddBackslash) {
    const OneText rows[] = {
        {"", R"(\)"}, {R"(C:\data)", R"(C:\data\)"}, {R"(C:\data\)", R"(C:\data\)"},
        {R"(C:\data\\)", R"(C:\data\\)"}, {R"(\)", R"(\)"}, {"C:/data/", R"(C:/data/\)"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shlw.VBAddBackslash(r.input), QString(r.expected)) << r.input;
}

TEST(PathText, RemoveBackslash) {
    const OneText rows[] = {
        {R"(C:\data\)", R"(C:\data)"}, {R"(C:\data)", R"(C:\data)"}, {R"(C:\data\\)", R"(C:\data\)"},
        {R"(\data)", R"(\data)"}, {R"(\)", ""}, {"", "<error 5>"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(outcome([&] { return shlw.VBRemoveBackslash(r.input); }), QString(r.expected)) << r.input;
}

TEST(PathText, FindPathName) {
    const TwoOptions rows[] = {
        {"", "", ""}, {"file.txt", "file.txt", "file.txt"},
        {R"(C:\dir\file.txt)", R"(C:\dir\)", R"(C:\dir)"}, {R"(C:\dir\)", R"(C:\dir\)", R"(C:\dir)"},
        {R"(\file.txt)", R"(\)", ""}, {R"(\\srv\share\a.txt)", R"(\\srv\share\)", R"(\\srv\share)"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(shlw.VBFindPathName(r.input, vb::vbTrue), QString(r.withMark)) << r.input;
        EXPECT_EQ(shlw.VBFindPathName(r.input, kOtherTrue), QString(r.withMark)) << r.input;
        EXPECT_EQ(shlw.VBFindPathName(r.input, vb::vbFalse), QString(r.withoutMark)) << r.input;
    }
}

TEST(PathText, FindFileName) {
    const OneText rows[] = {
        {R"(C:\dir\file.txt)", "file"}, {R"(C:\dir\a.b.c)", "a.b"}, {R"(C:\dir\file.)", "file"},
        {R"(C:\dir\.txt)", ""}, {R"(\a.b)", "a"}, {"", ""}, {"file.txt", "file"}, {"a.b.c", "a.b"},
        {"README", ""}, {R"(C:\dir\file)", "<error 5>"}, {R"(C:\dir.d\file)", "<error 5>"},
        {R"(C:\dir\)", "<error 5>"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(outcome([&] { return shlw.VBFindFileName(r.input); }), QString(r.expected)) << r.input;
}

TEST(PathText, FindExtension) {
    const TwoOptions rows[] = {
        {"file.txt", ".txt", "txt"}, {"a.b.c", ".c", "c"}, {"file.", ".", ""},
        {".profile", ".profile", "profile"}, {R"(C:\dir.d\file)", R"(.d\file)", R"(d\file)"},
        {"README", "README", "README"}, {"", "", ""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(shlw.VBFindExtension(r.input, vb::vbTrue), QString(r.withMark)) << r.input;
        EXPECT_EQ(shlw.VBFindExtension(r.input, kOtherTrue), QString(r.withMark)) << r.input;
        EXPECT_EQ(shlw.VBFindExtension(r.input, vb::vbFalse), QString(r.withoutMark)) << r.input;
    }
}

TEST(PathText, RemoveExtension) {
    const OneText rows[] = {
        {R"(C:\dir\file.txt)", R"(C:\dir\file)"}, {"a.b.c", "a.b"}, {".txt", ""}, {"file.", "file"},
        {R"(C:\dir.d\file)", R"(C:\dir)"}, {"README", "<error 5>"}, {"", "<error 5>"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(outcome([&] { return shlw.VBRemoveExtension(r.input); }), QString(r.expected)) << r.input;
}

TEST(PathText, RenameExtension) {
    const struct { const char* input; const char* ext; const char* expected; } rows[] = {
        {R"(C:\dir\file.txt)", "bak", R"(C:\dir\file.bak)"}, {"a.b.c", "x", "a.b.x"},
        {"file.txt", ".bak", "file..bak"}, {"file.txt", "", "file."}, {"README", "bak", "<error 5>"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(outcome([&] { return shlw.VBRenameExtension(r.input, r.ext); }), QString(r.expected)) << r.input;
}

TEST(PathText, StripPath) {
    const OneText rows[] = {
        {R"(C:\dir\file.txt)", "file.txt"}, {"file.txt", "file.txt"}, {R"(\file.txt)", "file.txt"},
        {R"(C:\dir\)", ""}, {R"(\\srv\share)", "share"}, {"", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shlw.VBStripPath(r.input), QString(r.expected)) << r.input;
}

TEST(PathText, IsUNCAndIsURLAnswerMinusOneOrZero) {
    const struct { const char* input; vb::Boolean expected; } unc[] = {
        {R"(\\srv\share)", vb::vbTrue}, {R"(\\)", vb::vbTrue}, {R"(\srv)", vb::vbFalse},
        {R"(\)", vb::vbFalse}, {R"(C:\\dir)", vb::vbFalse}, {"", vb::vbFalse},
    };
    for (const auto& r : unc)
        EXPECT_EQ(shlw.VBIsUNC(r.input), r.expected) << r.input;
    const struct { const char* input; vb::Boolean expected; } url[] = {
        {"ftp://host/dir", vb::vbTrue}, {"file:///C:/x", vb::vbTrue}, {"://", vb::vbTrue},
        {"mailto:a", vb::vbFalse}, {R"(C:\dir)", vb::vbFalse}, {"", vb::vbFalse},
    };
    for (const auto& r : url)
        EXPECT_EQ(shlw.VBIsURL(r.input), r.expected) << r.input;
}

TEST(PathText, StrStr) {
    const struct { const char* first; const char* search; vb::Boolean option; const char* expected; } rows[] = {
        {"abcabc", "ca", vb::vbTrue, "cabc"}, {"abcabc", "ca", vb::vbFalse, "cabc"},
        {"ABC", "b", vb::vbTrue, ""}, {"ABC", "b", kOtherTrue, ""}, {"ABC", "b", vb::vbFalse, "BC"},
        {"xÄbc", "äB", vb::vbFalse, "Äbc"}, {"xÄbc", "äB", vb::vbTrue, ""},
        {"abc", "", vb::vbTrue, "abc"}, {"abc", "", vb::vbFalse, "abc"},
        {"", "a", vb::vbTrue, ""}, {"", "a", vb::vbFalse, ""}, {"", "", vb::vbTrue, ""}, {"", "", vb::vbFalse, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shlw.VBStrStr(r.first, r.search, r.option), QString(r.expected))
            << r.first << " / " << r.search << " / " << r.option;
}

// Every text over a small alphabet of separators, marks and a wide character,
// exhaustively up to six characters and by seeded sample at seven and eight.
QStringList generatedTexts() {
    const QString alphabet = QStringLiteral("a\\./:あ");
    QStringList texts{QString()};
    QStringList level{QString()};
    for (int length = 1; length <= 6; ++length) {
        QStringList next;
        for (const QString& prefix : level)
            for (QChar c : alphabet)
                next.append(prefix + c);
        texts += next;
        level = std::move(next);
    }
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
    for (int length : {7, 8})
        for (int n = 0; n < 5000; ++n) {
            QString s;
            for (int i = 0; i < length; ++i)
                s += alphabet[pick(random)];
            texts.append(s);
        }
    return texts;
}

TEST(PathText, PropertiesHoldForGeneratedTexts) {
    const QStringList texts = generatedTexts();
    ASSERT_GT(texts.size(), 50000);
    int failures = 0;
    auto report = [&](bool ok, const char* what, const QString& s) {
        if (!ok && ++failures <= 10)
            ADD_FAILURE() << what << " fails for " << s.toStdString();
    };
    for (const QString& s : texts) {
        if (!s.endsWith(QLatin1Char('\\')))
            report(shlw.VBRemoveBackslash(shlw.VBAddBackslash(s)) == s, "remove(add(s)) == s", s);
        const QString folder = shlw.VBFindPathName(s, vb::vbTrue);
        const QString stripped = shlw.VBStripPath(s);
        report(s.startsWith(folder), "folder is a prefix", s);
        // Without any "\" both halves are the whole text, so they only add up
        // to it when there is a folder part.
        if (s.contains(QLatin1Char('\\')))
            report(folder + stripped == s, "folder + stripped == s", s);
        else
            report(folder == s && stripped == s, "no folder leaves s whole", s);
        if (s.contains(QLatin1Char('.')))
            report(shlw.VBRemoveExtension(s) + shlw.VBFindExtension(s, vb::vbTrue) == s, "stem + extension == s", s);
    }
    EXPECT_EQ(failures, 0);
}

} // namespace
