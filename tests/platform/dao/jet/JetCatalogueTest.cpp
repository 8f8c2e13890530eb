// A catalogue of a million entries before the table asked for: looking the
// table up asks the interrupt check on every page and every few hundred
// entries, and stops at the first true.
#include "platform/dao/ErrorCodes.h"
#include "tests/platform/dao/jet/JetFixture.h"
#include "tests/support/JetCraft.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using jettest::errorOf;
using jettest::fixture;
using testsupport::JetCraft;

namespace {

constexpr std::uint32_t kEntries = 1'000'000;

TEST(JetCatalogue, LookupStopsAtTheFirstTrueCheck) {
    QTemporaryDir dir;
    JetCraft f(fixture(u"no-password-v2000.mdb"_s), dir.filePath(u"many.mdb"_s));
    const std::vector<std::uint32_t> own = f.dataPages(JetCraft::kCatalog);
    // Entries of no table (every column Null), one after the other.
    const std::vector<QByteArray> rows(510, JetCraft::emptyRow());
    const std::uint32_t pages = (kEntries + 509) / 510;
    const std::uint32_t first = f.append(JetCraft::rowsPage(JetCraft::kCatalog, rows), pages);
    std::vector<std::uint32_t> owned;
    for (std::uint32_t p = first; p < first + pages; ++p)
        owned.push_back(p);
    for (const std::uint32_t p : own) // the real entries last
        owned.push_back(f.append(f.page(p)));
    f.setOwnedPages(JetCraft::kCatalog, owned);
    f.write();

    const struct {
        const char* what;
        long long trueFrom; // the ask from which the check says stop; -1: never
        int error;
    } cases[] = {
        {"never", -1, 0},
        {"early in the catalogue", 50, dao::err::kUserInterrupt},
        {"late in the catalogue", 3000, dao::err::kUserInterrupt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dao::jet::JetFile::open(f.path(), u""_s);
        long long counted = 0;
        EXPECT_EQ(errorOf([&] {
                      const auto rows = file->rows(u"棟マスタ"_s, {}, [&] {
                          return c.trueFrom >= 0 && counted++ >= c.trueFrom;
                      });
                      EXPECT_EQ(rows->count(), 14u);
                  }),
                  c.error);
        if (c.trueFrom >= 0) {
            EXPECT_EQ(counted, c.trueFrom + 1); // not asked again after the first true
        } else {
            counted = 0;
            file->rows(u"棟マスタ"_s, {}, [&] { return ++counted < 0; });
            EXPECT_GE(counted, pages);          // at least once a page
            EXPECT_GE(counted, kEntries / 300); // and every few hundred entries
        }
    }
}

} // namespace
