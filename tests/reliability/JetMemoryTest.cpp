// Access sources made to fill the memory: a sparse file whose apparent size
// and usage map are huge, slots sharing one long row, millions of rows of
// nothing but Nulls, a catalogue of a million long entries. Each run, in a
// child process, ends as it should while the process stays under 1 GiB.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/JetCraft.h"

#include "platform/dao/ErrorCodes.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace reliability {
namespace {

using namespace std::chrono_literals;
using testsupport::JetCraft;

const QString kTou = QStringLiteral(u"棟マスタ");
const QString kJunior = QStringLiteral(u"中学校区");
constexpr long long kMostKib = 1024 * 1024;
constexpr std::uint64_t kGiBPages = (1ull << 30) / JetCraft::kPage;

QString fixture(const QString& name) {
    return QStringLiteral(TOU_JET_DATA_DIR "/") + name;
}

std::vector<std::uint32_t> joined(std::vector<std::uint32_t> pages, std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t p = first; p < first + count; ++p)
        pages.push_back(p);
    return pages;
}

// Pages of one row of 棟マスタ whose 中学校区 is 2 KB, shared by every other slot.
std::uint32_t appendSharedLongRows(JetCraft& f, std::uint32_t table, std::uint32_t pages) {
    const QByteArray row = f.row(table, {{kJunior, JetCraft::text(QByteArray(2040, 'x'))}});
    return f.append(JetCraft::sharedSlotsPage(table, row), pages);
}

struct MemoryCase {
    const char* name;
    std::function<void(const QString& path)> make;
    int error; // the report's number
};

void PrintTo(const MemoryCase& c, std::ostream* os) {
    *os << c.name;
}

const MemoryCase kCases[] = {
    {"HugeApparentSizeAndUsageMap",
     [](const QString& path) {
         JetCraft f(fixture(QStringLiteral("no-password-v2000.mdb")), path);
         const std::uint32_t table = f.definitionPage(kTou);
         appendSharedLongRows(f, table, 600);
         // The map names every page of a file of gigabytes, nearly all a hole.
         const std::uint64_t covered = f.ownEveryPage(table);
         f.write(covered + 1);
     },
     dao::err::kCorrupt},
    {"SharedRowSlots",
     [](const QString& path) {
         JetCraft f(fixture(QStringLiteral("no-password-v2000.mdb")), path);
         const std::uint32_t table = f.definitionPage(kTou);
         const std::uint32_t first = appendSharedLongRows(f, table, 600);
         f.setOwnedPages(table, joined(f.dataPages(table), first, 600));
         f.write(kGiBPages);
     },
     dao::err::kCorrupt},
    {"TwelveMillionNullRows",
     [](const QString& path) {
         // The fixture's own rows come first; its third key is past the
         // range of a building number, which ends the run.
         JetCraft f(fixture(QStringLiteral("double-key-beyond-long-v2000.mdb")), path);
         const std::uint32_t table = f.definitionPage(kTou);
         std::uint32_t live = 0;
         const QByteArray page = JetCraft::sharedSlotsPage(table, JetCraft::emptyRow(), &live);
         const std::uint32_t pages = (12'000'000 + live - 1) / live;
         const std::uint32_t first = f.append(page, pages);
         f.setOwnedPages(table, joined(f.dataPages(table), first, pages));
         f.write();
     },
     vb::kOverflow},
    {"MillionEntryCatalogue",
     [](const QString& path) {
         JetCraft f(fixture(QStringLiteral("no-password-v2000.mdb")), path);
         const std::vector<std::uint32_t> own = f.dataPages(JetCraft::kCatalog);
         // Tables with long names, every other slot sharing the one entry.
         const QByteArray entry =
             f.row(JetCraft::kCatalog, {{QStringLiteral("Id"), JetCraft::int32(0x7FFFFF)},
                                        {QStringLiteral("Name"), JetCraft::text(QByteArray(1000, 'n'))},
                                        {QStringLiteral("Type"), JetCraft::int16(1)}});
         std::uint32_t live = 0;
         const QByteArray page = JetCraft::sharedSlotsPage(JetCraft::kCatalog, entry, &live);
         const std::uint32_t pages = (1'000'000 + live - 1) / live;
         const std::uint32_t first = f.append(page, pages);
         // The real entries after the million.
         std::vector<std::uint32_t> owned = joined({}, first, pages);
         for (const std::uint32_t p : own)
             owned.push_back(f.append(f.page(p)));
         f.setOwnedPages(JetCraft::kCatalog, owned);
         f.write(kGiBPages);
     },
     dao::err::kCorrupt},
};

class JetMemoryTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(JetMemoryTest, EndsAsItShouldUnderOneGibibyte) {
    const MemoryCase& c = GetParam();
    Layout files;
    writeTable(files.target, kTargetKey, {{"1", "a", "p", "old1"}, {"2", "b", "p", "old2"}});
    ASSERT_TRUE(QDir().mkpath(QFileInfo(files.source).path()));
    c.make(files.source);

    const ChildRun run = runChild(files.programDir, files.source, true, 300s);
    const std::optional<QString>& line = run.line;
    const std::optional<int>& status = run.status;
    ASSERT_TRUE(status.has_value()) << "still running";
    ASSERT_TRUE(line.has_value()) << "ended without a word, status " << *status;
    EXPECT_TRUE(line->startsWith(QStringLiteral("error %1 ").arg(c.error))) << line->toStdString();
    if (c.error == dao::err::kCorrupt) {
        EXPECT_TRUE(line->contains(files.source)) << line->toStdString();
    }
    ASSERT_TRUE(run.peakKib.has_value()) << run.output.join(u'\n').toStdString();
    const long long kib = *run.peakKib;
    EXPECT_GT(kib, 0);
    EXPECT_LT(kib, kMostKib) << line->toStdString();
}

INSTANTIATE_TEST_SUITE_P(Hostile, JetMemoryTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace reliability
