#include "platform/dao/ErrorCodes.h"
#include "platform/dao/jet/JetFile.h"
#include "platform/dao/jet/Rc4.h"
#include "tests/platform/dao/jet/JetFixture.h"
#include "tests/support/JetCheck.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

using namespace Qt::StringLiterals;
using jettest::Copy;
using jettest::errorOf;
using jettest::fixture;
using jettest::readAll;

namespace {

const QString kTou = u"棟マスタ"_s;
const QString kKey = u"棟番号"_s;
const QString kJunior = u"中学校区"_s;
const QString kSourcePassword = u"k3pwnvhtq7"_s;
const vb::Variant N; // Null

std::vector<vb::Variant> column(const dao::jet::Table& t, std::size_t i) {
    std::vector<vb::Variant> values;
    for (const auto& row : t.rows)
        values.push_back(row.at(i));
    return values;
}

std::vector<vb::Variant> keysFrom(int first, int count) {
    std::vector<vb::Variant> keys;
    for (int k = first; k < first + count; ++k)
        keys.emplace_back(k);
    return keys;
}

QString iroha(qsizetype from, qsizetype chars) {
    const QString cycle = u"いろはにほへとちりぬるをわかよたれそつねならむうゐのおくやまけふこえてあさきゆめみしゑひもせす"_s;
    QString s;
    for (qsizetype i = 0; i < chars; ++i)
        s += cycle[(from + i) % cycle.size()];
    return s;
}

// overflow-rows-v2000.mdb as MakeJetLayoutFixtures.java writes it: rows 302
// and 305 grew off their page (305 twice, its first copy left deleted).
std::vector<std::vector<vb::Variant>> overflowRows() {
    std::vector<std::vector<vb::Variant>> rows;
    for (int i = 0; i < 40; ++i) {
        const int key = 301 + i;
        const QString junior = key == 302 ? u"長"_s + iroha(0, 254) : key == 305 ? u"再"_s + iroha(5, 254) : iroha(i, 60);
        rows.push_back({key, u"District-%1"_s.arg(key), junior});
    }
    return rows;
}

// Encodes every page after the first with RC4 under a page key, as an
// encoded database keeps them.
void encodePages(QByteArray& b) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(b.data());
    constexpr std::uint32_t kKeyValue = 0x5A17C3E9;
    const std::array<std::uint8_t, 4> headerKey{0xC7, 0xDA, 0x39, 0x6B};
    dao::jet::detail::rc4(headerKey, std::span(bytes + 0x18, 128));
    std::memcpy(bytes + 0x3E, &kKeyValue, 4);
    dao::jet::detail::rc4(headerKey, std::span(bytes + 0x18, 128));
    for (std::uint32_t page = 1; page < b.size() / 4096; ++page) {
        const std::uint32_t k = kKeyValue ^ page;
        const std::array<std::uint8_t, 4> key{static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                                              static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
        dao::jet::detail::rc4(key, std::span(bytes + page * 4096, 4096));
    }
}

TEST(JetFile, DatabasePassword) {
    const struct { QString file; QString password; int error; } cases[] = {
        {u"source-long-v2000.mdb"_s, kSourcePassword, 0},
        {u"source-long-v2003.mdb"_s, kSourcePassword, 0},
        {u"source-long-v2000.mdb"_s, u"K3PWNVHTQ7"_s, dao::err::kInvalidPassword}, // case counts
        {u"source-long-v2000.mdb"_s, u""_s, dao::err::kInvalidPassword},
        {u"source-long-v2000.mdb"_s, u"k3pwnvhtq"_s, dao::err::kInvalidPassword},
        {u"wrong-password-v2000.mdb"_s, kSourcePassword, dao::err::kInvalidPassword},
        {u"no-password-v2000.mdb"_s, u"anything"_s, 0},
        {u"no-password-v2000.mdb"_s, u""_s, 0},
        {u"access-samples/access-V2000_with-password.mdb"_s, u"password"_s, 0},
        {u"access-samples/access-V2000_with-password.mdb"_s, u"Password"_s, dao::err::kInvalidPassword},
        {u"access-samples/access-V2003_no-password.mdb"_s, u"x"_s, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf([&] { dao::jet::JetFile::open(fixture(c.file), c.password); }), c.error)
            << c.file.toStdString() << " / " << c.password.toStdString();
}

// Keys of every stored kind, in stored order, the deleted row left out.
TEST(JetFile, KeysInStoredOrder) {
    using C = vb::Currency;
    const struct { QString file; QString password; std::vector<vb::Variant> keys; } cases[] = {
        {u"source-long-v2000.mdb"_s, kSourcePassword,
         {101, 102, -3, 0, 104, N, N, 105, 2147483647, std::int64_t{-2147483648}, 101, 106, 107, 108}},
        {u"source-long-v2003.mdb"_s, kSourcePassword,
         {101, 102, -3, 0, 104, N, N, 105, 2147483647, std::int64_t{-2147483648}, 101, 106, 107, 108}},
        {u"integer-key-v2000.mdb"_s, u""_s, {101, -32768, 32767, 0, -7, 104, N, N, 105}},
        {u"double-key-v2000.mdb"_s, u""_s,
         {101.0, 12.5, 13.5, -0.5, 102.5, -7.0, 104.0, N, N, 105.0, 2147483647.0, -2147483648.0}},
        {u"currency-key-v2000.mdb"_s, u""_s,
         {C::fromRaw(1010000), C::fromRaw(125000), C::fromRaw(135000), C::fromRaw(-5000), C::fromRaw(1025000),
          C::fromRaw(1), C::fromRaw(-70000), C::fromRaw(1040000), N, N, C::fromRaw(1050000)}},
        {u"text-key-v2000.mdb"_s, u""_s,
         {u"101"_s, u"0102"_s, u" 103 "_s, u"-7"_s, u"12.5"_s, u"104"_s, N, N, u"105"_s, u"１０６"_s, u""_s, u"百七"_s}},
        {u"empty-table-v2000.mdb"_s, u""_s, {}},
        // Rows moved off their page by an update: each read once, where its slot is.
        {u"overflow-rows-v2000.mdb"_s, u""_s, keysFrom(301, 40)},
        // Pages listed inline from page 26 on, not from page 0.
        {u"inline-map-start-v2000.mdb"_s, u""_s, keysFrom(501, 40)},
    };
    for (const auto& c : cases) {
        const dao::jet::Table t = readAll(fixture(c.file), c.password, kTou, {kKey});
        EXPECT_EQ(column(t, 0), c.keys) << c.file.toStdString();
    }
}

TEST(JetFile, AllColumnsInTableOrder) {
    const dao::jet::Table t = readAll(fixture(u"source-long-v2000.mdb"_s), kSourcePassword, u"棟マスタ"_s);
    EXPECT_EQ(t.names, (std::vector<QString>{kKey, u"棟名"_s, u"小学校区"_s, kJunior}));
    ASSERT_EQ(t.rows.size(), 14u);
    // Compressed and UTF-16 text, Null against "", a character beyond the BMP.
    EXPECT_EQ(t.rows[3], (std::vector<vb::Variant>{0, u"Zero"_s, u"Minami-sho"_s, u"Minami-chu"_s}));
    EXPECT_EQ(t.rows[4], (std::vector<vb::Variant>{104, N, N, N}));
    EXPECT_EQ(t.rows[7], (std::vector<vb::Variant>{105, u"𠮷野家棟"_s, u"𠮷野家区"_s, u"𠮷野家区"_s}));
    EXPECT_EQ(t.rows[11], (std::vector<vb::Variant>{106, u""_s, u""_s, u""_s}));
    // Names are found whatever their case; the order asked for is kept.
    const dao::jet::Table s = readAll(fixture(u"access-samples/access-V2003_no-password.mdb"_s), u""_s, u"TABLE1"_s,
                                      {u"data"_s, u"id"_s});
    EXPECT_EQ(s.names, (std::vector<QString>{u"Data"_s, u"ID"_s}));
    EXPECT_EQ(s.rows, (std::vector<std::vector<vb::Variant>>{{u"One"_s, 1}, {u"Two"_s, 2}, {u"Three"_s, 3}}));
}

TEST(JetFile, EveryTypeExactly) {
    using C = vb::Currency;
    using D = vb::Decimal;
    const vb::TruthValue yes{vb::vbTrue};
    const vb::TruthValue no{vb::vbFalse};
    const std::vector<std::vector<vb::Variant>> expected = {
        {1, 0, -32768, std::int64_t{-2147483648}, -1.5, -1e300, C::fromRaw(INT64_MIN), D{u"-99999999999999.9999"_s},
         no, vb::Date{0.0}, u""_s, u""_s},
        {2, 255, 32767, 2147483647, 1.5, 1e300, C::fromRaw(INT64_MAX), D{u"99999999999999.9999"_s}, yes,
         vb::Date{45351.57326388889}, u"テキスト𠮷"_s, u"メモ"_s},
        {3, N, N, N, N, N, N, N, no, N, N, N},
        {4, 1, 0, 0, 0.1, 0.5, C::fromRaw(1), D{u"-0.0001"_s}, yes, vb::Date{-1.25}, u"Plain ASCII"_s, u"ASCII memo"_s},
        {5, 128, -1, -1, 3.402823e38, 4.9e-324, C::fromRaw(-10000), D{u"12345678901234.5678"_s}, no,
         vb::Date{2958465.999988426}, u"第一中学校区"_s, u"中学校区"_s},
    };
    const dao::jet::Table t = readAll(fixture(u"all-types-v2000.mdb"_s), u""_s, u"型"_s);
    ASSERT_EQ(t.rows.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r)
        for (std::size_t c = 0; c < expected[r].size(); ++c)
            EXPECT_EQ(t.rows[r].at(c), expected[r][c]) << "row " << r + 1 << " " << t.names.at(c).toStdString() << ": "
                                                       << t.rows[r].at(c).toText().toStdString();
}

TEST(JetFile, MemoValuesWhole) {
    const dao::jet::Table t =
        readAll(fixture(u"long-memo-v2000.mdb"_s), u""_s, kTou, {kJunior, u"備考"_s});
    ASSERT_EQ(t.rows.size(), 5u);
    const auto text = [&](std::size_t r, std::size_t c) { return t.rows[r][c].toText(); };
    const struct { std::size_t row, col; qsizetype units; QString begins, ends; } cases[] = {
        {0, 0, 6, u"第五"_s, u"学校区"_s},                 // in the row
        {1, 0, 1000, u"中学校区中"_s, u"校区"_s},           // one other page
        {2, 0, 20000, u"始いろはに"_s, u"ねならむ終"_s},     // a chain of pages
        {4, 0, 1003, u"𠮷野家区中"_s, u"中中𠮷"_s},         // surrogate pairs across the value
        {0, 1, 10, u"short"_s, u"note"_s},                 // compressed, in the row
        {1, 1, 1000, u"Latin-1 note. "_s, u"note. Latin-"_s}, // compressed, one other page
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.row, c.col).size(), c.units) << c.row << "/" << c.col;
        EXPECT_TRUE(text(c.row, c.col).startsWith(c.begins)) << c.row << "/" << c.col;
        EXPECT_TRUE(text(c.row, c.col).endsWith(c.ends)) << c.row << "/" << c.col;
    }
    EXPECT_TRUE(t.rows[2][1].isNull());
    EXPECT_TRUE(t.rows[3][0].isNull());
    EXPECT_EQ(t.rows[4][1], vb::Variant(u""_s));
}

// A moved row is read from where its slot points, not from the copy an
// earlier move left behind.
TEST(JetFile, RowsMovedByAnUpdate) {
    EXPECT_EQ(readAll(fixture(u"overflow-rows-v2000.mdb"_s), u""_s, kTou).rows, overflowRows());
}

TEST(JetFile, MissingNames) {
    const auto file = dao::jet::JetFile::open(fixture(u"no-tou-master-v2000.mdb"_s), u""_s);
    EXPECT_EQ(errorOf([&] { file->read(kTou, {}, {}); }), dao::err::kTableNotFound);
    EXPECT_EQ(errorOf([&] { file->read(u"棟マスタ旧"_s, {kKey, u"階数"_s}, {}); }), dao::err::kItemNotFound);
    EXPECT_EQ(file->read(u"旧棟マスタ"_s, {kJunior}, {}).rows,
              (std::vector<std::vector<vb::Variant>>{{u"第一中学校区"_s}}));
}

TEST(JetFile, Interrupt) {
    const auto file = dao::jet::JetFile::open(fixture(u"long-memo-v2000.mdb"_s), u""_s);
    // Asked at the first page, and again while a memo's page chain is read.
    for (const int allowed : {0, 1, 2, 3}) {
        int asked = 0;
        EXPECT_EQ(errorOf([&] { file->read(kTou, {}, [&] { return asked++ >= allowed; }); }), dao::err::kUserInterrupt)
            << allowed;
    }
    int asked = 0;
    EXPECT_EQ(file->read(kTou, {}, [&] { return ++asked < 0; }).rows.size(), 5u);
    EXPECT_GT(asked, 3);
}

// Reading changes nothing: not the bytes, not the time stamp, and no lock
// file appears, even with the file and its folder read-only.
TEST(JetFile, NeverWrites) {
    Copy copy(u"source-long-v2000.mdb"_s, u"Q4ProDB.mdb"_s);
    const QDateTime modified = QFileInfo(copy.path()).lastModified();
    ASSERT_TRUE(QFile::setPermissions(copy.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(readAll(copy.path(), kSourcePassword, kTou).rows.size(), 14u);
    EXPECT_EQ(jettest::bytesOf(copy.path()), copy.bytes());
    EXPECT_EQ(QFileInfo(copy.path()).lastModified(), modified);
    EXPECT_EQ(QDir(copy.dir().path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"Q4ProDB.mdb"_s});
}

// An encoded database: every page after the first under RC4, keyed by the
// header's page key XOR the page number. libmdb undoes it; the rows read the same.
TEST(JetFile, EncodedPages) {
    Copy copy(u"source-long-v2000.mdb"_s);
    encodePages(copy.bytes());
    copy.write();
    EXPECT_EQ(readAll(copy.path(), kSourcePassword, kTou).rows,
              readAll(fixture(u"source-long-v2000.mdb"_s), kSourcePassword, kTou).rows);
}

// The Jackcess checker the writer's tests rely on passes a sound file and
// fails on each kind of disagreement; an encoded copy is decoded for it.
TEST(JackcessCheck, PassesOnlyWhatAgrees) {
    using Change = std::function<void(QByteArray&, std::vector<QStringList>&)>;
    const struct { const char* what; Change change; bool ok; } cases[] = {
        {"as written", [](QByteArray&, std::vector<QStringList>&) {}, true},
        {"pages encoded", [](QByteArray& b, std::vector<QStringList>&) { encodePages(b); }, true},
        {"two rows swapped", [](QByteArray&, std::vector<QStringList>& rows) { std::swap(rows[0], rows[1]); }, false},
        {"row count one more", [](QByteArray& b, std::vector<QStringList>&) {
             const qsizetype tdef = 24 * 4096; // the table's definition (README.md)
             ASSERT_EQ(b[tdef], 2);
             std::uint32_t count = 0;
             std::memcpy(&count, b.constData() + tdef + 16, 4);
             ++count;
             std::memcpy(b.data() + tdef + 16, &count, 4);
         }, false},
    };
    for (const auto& c : cases) {
        Copy copy(u"overflow-rows-v2000.mdb"_s);
        std::vector<QStringList> expected;
        for (const auto& row : overflowRows()) {
            QStringList texts;
            for (const vb::Variant& v : row)
                texts << v.toText();
            expected.push_back(texts);
        }
        c.change(copy.bytes(), expected);
        copy.write();
        const testsupport::JetCheckResult r = testsupport::jackcessCheck(copy.path(), kTou, expected);
        if (r.skipped)
            GTEST_SKIP() << "Jackcess check skipped: " << r.why.toStdString();
        EXPECT_EQ(r.ok, c.ok) << c.what << "\n" << r.output.toStdString();
        EXPECT_EQ(jettest::bytesOf(copy.path()), copy.bytes()) << c.what << ": the checker changed the file";
    }
}

} // namespace
