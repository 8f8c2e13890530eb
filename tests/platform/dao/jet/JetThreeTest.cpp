// Jet 3 (Access 97) files cannot be made here, so its header page and a data
// page are made by hand: the password's place and the code page's text. Jet 4
// text runs that the test databases lack are made by hand too.
#include "platform/dao/ErrorCodes.h"
#include "platform/dao/jet/DataPage.h"
#include "platform/dao/jet/Rc4.h"
#include "platform/dao/jet/Row.h"
#include "platform/dao/jet/Text.h"
#include "platform/dao/jet/Values.h"
#include "tests/platform/dao/jet/JetFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace Qt::StringLiterals;
using namespace dao::jet::detail;
using jettest::errorOf;

namespace {

constexpr std::size_t kPage = 2048;

// A Jet 3 file of three pages: the header with `password` (code page bytes)
// and two empty pages, so that a right password gets as far as the catalogue.
QByteArray jet3File(const QByteArray& password) {
    QByteArray file(3 * kPage, '\0');
    auto* b = reinterpret_cast<std::uint8_t*>(file.data());
    std::memcpy(b, "\x00\x01\x00\x00Standard Jet DB", 19);
    b[0x14] = 0; // Jet 3
    const std::uint16_t codePage = 932;
    std::memcpy(b + 0x3C, &codePage, 2);
    std::memcpy(b + 0x42, password.constData(), static_cast<std::size_t>(password.size()));
    const std::array<std::uint8_t, 4> key{0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, std::span(b + 0x18, 126));
    return file;
}

TEST(JetThree, PasswordInCodePage) {
    const QByteArray stored("pw\x87\x40", 4); // "pw①" in code page 932
    const struct { QByteArray stored; QString given; int error; } cases[] = {
        {stored, u"pw①"_s, dao::err::kCorrupt}, // accepted: the empty catalogue page is what fails
        {stored, u"PW①"_s, dao::err::kInvalidPassword},
        {stored, u"pw"_s, dao::err::kInvalidPassword},
        {QByteArray(), u"anything"_s, dao::err::kCorrupt},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        QFile f(dir.filePath(u"a.mdb"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jet3File(c.stored));
        f.close();
        EXPECT_EQ(errorOf([&] { dao::jet::JetFile::open(f.fileName(), c.given); }), c.error) << c.given.toStdString();
    }
}

// Rows of a table (Long, Text, Text, and a Text added after the rows were
// written) on a Jet 3 data page: one-byte offsets, a jump table once a row
// passes 255 bytes, text in code page 932.
TEST(JetThree, RowsOnADataPage) {
    TableDefinition table;
    table.varColumns = 3;
    table.columns = {{u"Key"_s, kLong, true, 0, 0, 0, 0},
                     {u"A"_s, kText, false, 1, 0, 0, 0},
                     {u"B"_s, kText, false, 2, 1, 0, 0},
                     {u"Added"_s, kText, false, 3, 2, 0, 0}};
    const QByteArray circled = QByteArray("\x87\x40").repeated(150); // 150 × ①, 300 bytes
    const QByteArray wave("\x87\x40\x81\x60", 4);                    // ①～ (932; SHIFT-JIS would give 〜)
    // count, Long -7, A, B, then offsets eod/B/A, jump table, var count, null mask.
    QByteArray longRow = QByteArray("\x03\xF9\xFF\xFF\xFF", 5) + circled + wave;
    longRow += QByteArray("\x35\x31\x05", 3) + QByteArray("\x01", 1) + QByteArray("\x02\x07", 2);
    // A short row whose B is Null: no jump table.
    QByteArray shortRow = QByteArray("\x03\x2A\x00\x00\x00", 5) + wave;
    shortRow += QByteArray("\x09\x09\x05", 3) + QByteArray("\x02\x03", 2);

    QByteArray page(kPage, '\0');
    page[0] = 0x01;
    const std::uint16_t count = 2;
    std::memcpy(page.data() + 8, &count, 2);
    const auto start0 = static_cast<std::uint16_t>(kPage - static_cast<std::size_t>(longRow.size()));
    const auto start1 = static_cast<std::uint16_t>(start0 - shortRow.size());
    std::memcpy(page.data() + 10, &start0, 2);
    std::memcpy(page.data() + 12, &start1, 2);
    page.replace(start0, longRow.size(), longRow);
    page.replace(start1, shortRow.size(), shortRow);

    const DataPage data(kJet3, Bytes(std::span(reinterpret_cast<const std::uint8_t*>(page.constData()), kPage)));
    FileText text(true, 932);
    const auto read = [&](std::uint16_t r) {
        const Row row(kJet3, table, data.row(r));
        std::vector<vb::Variant> values;
        for (const Column& c : table.columns) {
            const auto bytes = row.value(c);
            values.push_back(!bytes ? vb::Variant() : c.fixed ? fixedValue(c.type, 0, *bytes) : text.decode(*bytes));
        }
        return values;
    };
    EXPECT_EQ(read(0), (std::vector<vb::Variant>{-7, QString(150, u'①'), u"①～"_s, vb::Variant()}));
    EXPECT_EQ(read(1), (std::vector<vb::Variant>{42, u"①～"_s, vb::Variant(), vb::Variant()}));
}

// Jet 4 text as Access may write it, which the test databases never do:
// compressed runs switched to two-byte runs and back.
TEST(JetFourText, CompressedRuns) {
    const struct { QByteArray bytes; QString text; } cases[] = {
        {QByteArray("\xFF\xFE" "A\x00\x42\x30\x00" "B", 8), u"AあB"_s},
        {QByteArray("\xFF\xFE\x00\x42\xD8\xB7\xDF", 7), u"𠮷"_s},
        {QByteArray("\x42\xD8\xB7\xDF\x4E\x91", 6), u"𠮷酎"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jet4Text(Bytes(std::span(reinterpret_cast<const std::uint8_t*>(c.bytes.constData()),
                                           static_cast<std::size_t>(c.bytes.size())))),
                  c.text);
}

} // namespace
