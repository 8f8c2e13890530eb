#include "platform/dao/ErrorCodes.h"
#include "tests/platform/dao/jet/JetFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace Qt::StringLiterals;
using jettest::Copy;
using jettest::errorOf;
using jettest::readAll;

namespace {

constexpr qsizetype kPage = 4096;

std::uint32_t u32(const QByteArray& b, qsizetype at) {
    std::uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}
void put16(QByteArray& b, qsizetype at, std::uint16_t v) { std::memcpy(b.data() + at, &v, 2); }
void put32(QByteArray& b, qsizetype at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// The first page of `type` after the catalogue's that holds `text` (UTF-16LE).
qsizetype pageWith(const QByteArray& b, char type, const QString& text) {
    const QByteArray needle(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    for (qsizetype p = 3; p < b.size() / kPage; ++p)
        if (b[p * kPage] == type && b.mid(p * kPage, kPage).contains(needle))
            return p;
    ADD_FAILURE() << "no such page";
    return 0;
}
qsizetype tableDefinition(const QByteArray& b) { return pageWith(b, 0x02, u"棟番号"_s) * kPage; }
qsizetype dataPage(const QByteArray& b) { return pageWith(b, 0x01, u"第一中学校区"_s) * kPage; }

// Points the next-row pointer of the first row of the 20,000-character memo's
// chain back at that row.
void loopMemoChain(QByteArray& b) {
    const QByteArray start("\xCB\x59\x44\x30", 4); // "始い"
    const qsizetype at = b.indexOf(start) - 4;
    ASSERT_GT(at, 0);
    const qsizetype page = at / kPage;
    const std::uint16_t count = static_cast<std::uint16_t>(b[page * kPage + 12] | b[page * kPage + 13] << 8);
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto offset = static_cast<std::uint16_t>(u32(b, page * kPage + 14 + 2 * i) & 0x1FFF);
        if (offset == at % kPage)
            return put32(b, at, static_cast<std::uint32_t>(page << 8 | i));
    }
    ADD_FAILURE() << "no row holds the memo's start";
}

// Each damaged or foreign file ends with its own error, without a crash or a
// hang: the reader checks what the file says before following it.
TEST(JetDamage, EachEndsWithItsError) {
    using Change = std::function<void(QByteArray&)>;
    const int notJet = dao::err::kUnrecognizedFormat;
    const int damaged = dao::err::kCorrupt;
    const struct { const char* what; QString file; Change change; int error; } cases[] = {
        {"zero length", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b.clear(); }, notJet},
        {"text", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b = QByteArray(8192, 'x'); }, notJet},
        {"the later format", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b.replace(4, 15, "Standard ACE DB"); }, notJet},
        {"version 3", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b[0x14] = 3; }, notJet},
        {"header cut short", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b.truncate(100); }, damaged},
        {"first page only", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b.truncate(kPage); }, damaged},
        {"a page and a half", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b.truncate(kPage * 3 / 2); }, damaged},
        {"half the pages", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b.truncate(b.size() / kPage / 2 * kPage); },
         damaged},
        {"garbage after the header", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) { b.replace(kPage, b.size() - kPage, QByteArray(b.size() - kPage, '\xAA')); }, damaged},
        {"catalogue definition of another type", u"no-password-v2000.mdb"_s, [](QByteArray& b) { b[2 * kPage] = 1; },
         damaged},
        {"catalogue definition chained to itself", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) { put32(b, 2 * kPage + 4, 2); }, damaged},
        {"catalogue definition chained past the end", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) { put32(b, 2 * kPage + 4, 0xFFFFFF); }, damaged},
        {"table with 65535 columns", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) { put16(b, tableDefinition(b) + 45, 0xFFFF); }, damaged},
        {"column entries past the definition", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) { put32(b, tableDefinition(b) + 51, 1000); }, damaged},
        {"usage map on a page past the end", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) { put32(b, tableDefinition(b) + 55, 0xFFFFFF00); }, damaged},
        {"row count past the page", u"no-password-v2000.mdb"_s, [](QByteArray& b) { put16(b, dataPage(b) + 12, 0xFFFF); },
         damaged},
        {"row past the page", u"no-password-v2000.mdb"_s, [](QByteArray& b) { put16(b, dataPage(b) + 14, 0x1FFF); },
         damaged},
        {"overflow row pointing at itself", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) {
             const qsizetype page = dataPage(b);
             const std::uint16_t offset = static_cast<std::uint16_t>(u32(b, page + 14) & 0x1FFF);
             put16(b, page + 14, static_cast<std::uint16_t>(offset | 0x4000));
             put32(b, page + offset, static_cast<std::uint32_t>(page / kPage << 8));
         },
         damaged},
        {"value reaching into its row's offset table", u"no-password-v2000.mdb"_s,
         [](QByteArray& b) {
             // Row 0 ends at the page's end: one null-mask byte, the count of
             // variable-length values, then their offsets; the last value's end
             // is moved onto the count.
             const qsizetype page = dataPage(b);
             const qsizetype rowStart = static_cast<qsizetype>(u32(b, page + 14) & 0x1FFF);
             const auto count = static_cast<std::uint16_t>(u32(b, page + kPage - 3) & 0xFFFF);
             put16(b, page + kPage - 5 - 2 * count, static_cast<std::uint16_t>(kPage - 2 - rowStart));
         },
         damaged},
        {"memo chain that loops", u"long-memo-v2000.mdb"_s, loopMemoChain, damaged},
        // Written so: the chain's second row points nowhere, two of five pages in.
        {"memo chain cut short", u"memo-chain-cut-v2000.mdb"_s, [](QByteArray&) {}, damaged},
    };
    for (const auto& c : cases) {
        Copy copy(c.file);
        c.change(copy.bytes());
        copy.write();
        EXPECT_EQ(errorOf([&] { readAll(copy.path(), u""_s, u"棟マスタ"_s); }), c.error) << c.what;
    }
}

} // namespace
