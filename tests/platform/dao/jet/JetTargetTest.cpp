// The Jet 4 target store: revisions written into copies of the target test
// files, read back by the project's reader and by Jackcess (when Java is
// there), and the file compared page by page with the original to see that
// each kind of placement did what it should and nothing more.
#include "platform/dao/Dao.h"
#include "platform/dao/ErrorCodes.h"
#include "platform/dao/FileProbe.h"
#include "platform/dao/JetTargetStore.h"
#include "platform/dao/jet/Rc4.h"
#include "tests/platform/dao/jet/JetFixture.h"
#include "tests/support/JetCheck.h"
#include "tests/support/JetCraft.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <random>

using namespace Qt::StringLiterals;
using jettest::bytesOf;
using jettest::errorOf;

namespace {

const QString kPassword = u"r8mfyelc4s"_s;
const QString kConnect = u";pwd=r8mfyelc4s"_s;
const QString kTable = u"棟マスタ"_s;
const QString kAll = u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ"_s;
constexpr qsizetype kPage = 4096;

using Rows = std::vector<QStringList>;

// The table as the project's reader sees it, as text (Null as kJetNull).
Rows readRows(const QString& path) {
    Rows rows;
    for (const auto& row : jettest::readAll(path, kPassword, kTable).rows) {
        QStringList cells;
        for (const vb::Variant& v : row)
            cells << (v.isNull() ? testsupport::kJetNull : v.toText());
        rows.push_back(cells);
    }
    return rows;
}

// What a revision does to the rows: the first row with the key takes the value.
void applyToModel(Rows& rows, std::int64_t key, const std::optional<QString>& value) {
    for (QStringList& row : rows)
        if (row[0] == QString::number(key)) {
            row[2] = value ? *value : testsupport::kJetNull;
            return;
        }
}

std::shared_ptr<dao::JetTargetStore> openTarget(const QString& path, const QString& connect = kConnect) {
    return dao::JetTargetStore::open(dao::probeFile(path, 0), connect, {});
}

// One revision through the cursor, as the revision does it.
void revise(dao::Store& store, std::int64_t key, const std::optional<QString>& value) {
    const auto cursor = store.openRecordset(kAll + u" WHERE 棟番号="_s + QString::number(key));
    if (cursor->eof())
        return;
    cursor->edit();
    cursor->setValue(2, value ? vb::Variant(*value) : vb::Variant());
    cursor->update(dao::dbUpdateRegular);
}

// Jackcess's opinion of a file this test wrote.
void expectJackcessAgrees(const QString& path, const Rows& rows) {
    const testsupport::JetCheckResult r = testsupport::jackcessCheck(path, kTable, rows);
    if (r.skipped) {
        std::printf("Jackcess check skipped: %s\n", qPrintable(r.why));
        return;
    }
    ASSERT_TRUE(r.ok) << r.output.toStdString();
}

struct Slot {
    std::uint16_t flags;
    QByteArray bytes;
    friend bool operator==(const Slot&, const Slot&) = default;
};

std::vector<Slot> slotsOf(const QByteArray& page) {
    std::vector<Slot> found;
    if (page.size() != kPage || page[0] != 0x01)
        return found;
    std::uint16_t count = 0;
    std::memcpy(&count, page.constData() + 12, 2);
    int end = kPage;
    for (int i = 0; i < count; ++i) {
        std::uint16_t offset = 0;
        std::memcpy(&offset, page.constData() + 14 + 2 * i, 2);
        const int start = offset & 0x1FFF;
        found.push_back({static_cast<std::uint16_t>(offset & 0xC000), page.mid(start, end - start)});
        end = start;
    }
    return found;
}

struct Difference {
    std::vector<int> pages;       // existing pages that changed
    int added = 0;                // pages added at the end
    int mostSlotsChanged = 0;     // on any changed data page, existing slots that differ
};

Difference differenceOf(const QByteArray& before, const QByteArray& after) {
    Difference d;
    d.added = static_cast<int>((after.size() - before.size()) / kPage);
    for (qsizetype p = 0; p < before.size() / kPage && p < after.size() / kPage; ++p) {
        const QByteArray a = before.mid(p * kPage, kPage);
        const QByteArray b = after.mid(p * kPage, kPage);
        if (a == b)
            continue;
        d.pages.push_back(static_cast<int>(p));
        const std::vector<Slot> x = slotsOf(a);
        const std::vector<Slot> y = slotsOf(b);
        int changed = 0;
        for (std::size_t i = 0; i < x.size(); ++i)
            changed += i >= y.size() || !(x[i] == y[i]);
        d.mostSlotsChanged = std::max(d.mostSlotsChanged, changed);
    }
    return d;
}

// Only the target file is left in its folder.
void expectAlone(const QTemporaryDir& dir, const QString& name) {
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{name});
}

// Where each kind of placement happens in target-v2000.mdb (README.md):
// page 27 is full (key 1-124, key 10 moved to page 31), page 30 has 23 bytes
// free (keys 248-370), page 31 has room and holds the moved rows of keys 10
// and 130; page 29 has a deleted row (key 150) and a moved one (key 130).
TEST(JetTarget, EachPlacementChangesOnlyItsPages) {
    const std::optional<QString> grown = u"青葉中学校"_s;
    // Page 31 filled by its own rows and key 10's, then key 130's moved row outgrows it.
    std::vector<std::pair<std::int64_t, std::optional<QString>>> movedAgain;
    for (std::int64_t key = 371; key <= 400; ++key)
        movedAgain.emplace_back(key, QString(50, u'長'));
    movedAgain.emplace_back(10, QString(50, u'長'));
    movedAgain.emplace_back(130, QString(50, u'長'));
    const struct {
        const char* kind;
        std::vector<std::pair<std::int64_t, std::optional<QString>>> revisions;
        std::vector<int> pages;
        int added;
    } cases[] = {
        {"in place, shorter", {{1, u"北中"_s}}, {27}, 0},
        {"in place, Null", {{3, std::nullopt}}, {27}, 0},
        {"same page, repacked", {{250, grown}}, {30}, 0},
        {"same page with a deleted and a moved row, repacked", {{126, grown}}, {29}, 0},
        {"moved onto an owned page with room", {{2, grown}}, {27, 31}, 0},
        {"moved row, shorter, where it lives", {{10, u"北中"_s}}, {31}, 0},
        {"moved row, longer, its page repacked", {{10, u"青葉中学校区西部分室北側別館"_s}}, {31}, 0},
        {"moved row moved again", movedAgain, {1, 25, 28, 29, 31}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        jettest::Copy copy(u"target-v2000.mdb"_s);
        Rows model = readRows(copy.path());
        {
            const auto store = openTarget(copy.path());
            for (const auto& [key, value] : c.revisions) {
                revise(*store, key, value);
                applyToModel(model, key, value);
            }
            store->close();
        }
        const QByteArray after = bytesOf(copy.path());
        const Difference d = differenceOf(copy.bytes(), after);
        EXPECT_EQ(d.pages, c.pages);
        EXPECT_EQ(d.added, c.added);
        if (c.added > 0) {
            // Key 130's old place on page 31 (slot 32): deleted, no bytes left.
            const std::vector<Slot> slots31 = slotsOf(after.mid(31 * kPage, kPage));
            ASSERT_GT(slots31.size(), 32u);
            EXPECT_EQ(slots31[32], (Slot{0xC000, {}}));
        }
        if (c.revisions.size() == 1) {
            EXPECT_LE(d.mostSlotsChanged, 1); // every other row byte for byte
        }
        EXPECT_EQ(readRows(copy.path()), model);
        expectJackcessAgrees(copy.path(), model);
        expectAlone(copy.dir(), u"copy.mdb"_s);
    }
}

// Every page of a file encoded under `key` as Jet encodes it, the key put
// into the (masked) header.
void encode(QByteArray& file, std::uint32_t key) {
    auto* b = reinterpret_cast<std::uint8_t*>(file.data());
    const std::array<std::uint8_t, 4> headerKey{0xC7, 0xDA, 0x39, 0x6B};
    dao::jet::detail::rc4(headerKey, std::span(b + 0x18, 128));
    std::memcpy(b + 0x3E, &key, 4);
    dao::jet::detail::rc4(headerKey, std::span(b + 0x18, 128));
    for (qsizetype p = 1; p < file.size() / kPage; ++p) {
        const std::uint32_t k = key ^ static_cast<std::uint32_t>(p);
        const std::array<std::uint8_t, 4> pageKey{static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                                                  static_cast<std::uint8_t>(k >> 16),
                                                  static_cast<std::uint8_t>(k >> 24)};
        dao::jet::detail::rc4(pageKey, std::span(b + p * kPage, kPage));
    }
}

// Rows grown until pages run out: new pages at the end of the file, entered
// in the table's maps; on a file padded past what the table's inline maps
// reach, the maps become reference maps; on an encoded file, every page the
// writer adds or changes is encoded as the others.
TEST(JetTarget, NewPagesAndTheirMaps) {
    const struct {
        const char* kind;
        const char* fixture;
        int padPages;            // empty pages added to the file first
        std::uint32_t pageKey;   // encode the file first
        bool referenceMaps;      // the table's free-space map ends as a reference map
        int mapPage;             // where the table's maps are (README.md)
    } cases[] = {
        {"inline maps", "target-v2000.mdb", 0, 0, false, 25},
        {"inline maps, Access 2002-2003 file", "target-v2003.mdb", 0, 0, false, 51},
        {"inline maps made reference maps", "target-v2000.mdb", 600, 0, true, 25},
        {"encoded file", "target-v2000.mdb", 0, 0x5A17C3E1, false, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        jettest::Copy copy(QString::fromUtf8(c.fixture));
        if (c.padPages > 0 || c.pageKey != 0) {
            copy.bytes().append(QByteArray(c.padPages * kPage, '\0'));
            if (c.pageKey != 0)
                encode(copy.bytes(), c.pageKey);
            copy.write();
        }
        const QByteArray before = bytesOf(copy.path());
        Rows model = readRows(copy.path());
        {
            const auto store = openTarget(copy.path());
            for (std::int64_t key = 1; key <= 400; ++key) {
                const QString value = u"青葉中学校区西部分室"_s + QString::number(key);
                revise(*store, key, value);
                applyToModel(model, key, value);
            }
            store->close();
        }
        const QByteArray after = bytesOf(copy.path());
        EXPECT_GT(after.size(), before.size());
        EXPECT_EQ(after.left(kPage), before.left(kPage)); // the header page is never written
        EXPECT_EQ(readRows(copy.path()), model);
        expectJackcessAgrees(copy.path(), model);
        expectAlone(copy.dir(), u"copy.mdb"_s);
        // The free-space map (row 1) is inline (type 0) as Jackcess made it;
        // the owned map (row 0) is a reference map already.
        const auto mapType = [&](const QByteArray& file, int row) {
            const QByteArray holder = file.mid(c.mapPage * kPage, kPage);
            std::uint16_t start = 0;
            std::memcpy(&start, holder.constData() + 14 + 2 * row, 2);
            return static_cast<int>(holder[start & 0x1FFF]);
        };
        if (c.pageKey == 0) {
            EXPECT_EQ(mapType(before, 0), 1);
            EXPECT_EQ(mapType(before, 1), 0);
            EXPECT_EQ(mapType(after, 1), c.referenceMaps ? 1 : 0);
        }
    }
}

// Values as the column allows them: Null, "", the length limit (the
// too-long value raising and naming its row, earlier rows kept), and the
// one-byte form only for values that may take it.
TEST(JetTarget, ValuesTheColumnAllows) {
    const struct {
        const char* fixture;
        std::int64_t key;
        std::optional<QString> value;
        int error;
        QByteArray stored; // bytes the page must then hold; empty: not checked
    } cases[] = {
        {"target-v2000.mdb", 1, std::nullopt, 0, {}},
        {"target-v2000.mdb", 1, u""_s, 0, {}},
        {"target-v2000.mdb", 1, QString(50, u'区'), 0, {}},
        {"target-v2000.mdb", 1, QString(51, u'区'), dao::err::kFieldTooSmall, {}},
        {"target-v2000.mdb", 1, u"Aoba-chu"_s, 0, QByteArray("\xFF\xFE" "Aoba-chu")},
        {"target-v2000.mdb", 1, u"Ab"_s, 0, QByteArray("A\0b\0", 4)},
        {"target-v2000.mdb", 1, u"Ab\u00e9c\u3042"_s, 0, QByteArray("A\0b\0\xE9\0c\0\x42\x30", 10)},
        {"target-v2000.mdb", 1, u"\ufeffAoba"_s, dao::err::kConversionError, {}},
        {"target-strict-v2000.mdb", 1, std::nullopt, dao::err::kNullNotAllowed, {}},
        {"target-strict-v2000.mdb", 1, u""_s, dao::err::kZeroLengthNotAllowed, {}},
        {"target-strict-v2000.mdb", 1, QString(11, u'区'), dao::err::kFieldTooSmall, {}},
        {"target-strict-v2000.mdb", 1, u"Aoba-chu"_s, 0, QByteArray("A\0o\0b\0a\0-\0c\0h\0u\0", 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + (c.value ? c.value->toStdString() : "Null"));
        jettest::Copy copy(QString::fromUtf8(c.fixture));
        Rows model = readRows(copy.path());
        {
            const auto store = openTarget(copy.path());
            // An earlier accepted revision stays whatever follows.
            revise(*store, 2, u"北中"_s);
            applyToModel(model, 2, u"北中"_s);
            // Inside call(), as the revision runs: an error leaving it keeps the earlier revision.
            const int error = errorOf([&] { store->run([&] { revise(*store, c.key, c.value); }); });
            EXPECT_EQ(error, c.error);
            if (error == 0)
                applyToModel(model, c.key, c.value);
            if (error == dao::err::kFieldTooSmall) {
                try {
                    revise(*store, c.key, c.value);
                } catch (const vb::RuntimeError& e) {
                    EXPECT_TRUE(e.description().contains(u" 1:"_s) || e.description().contains(u" 1 "_s) ||
                                e.description().contains(u"record 1"_s))
                        << e.description().toStdString();
                }
            }
            store->release(); // the run let go without Close
        }
        EXPECT_EQ(readRows(copy.path()), model);
        if (!c.stored.isEmpty()) {
            EXPECT_TRUE(bytesOf(copy.path()).contains(c.stored));
        }
        expectJackcessAgrees(copy.path(), model);
        expectAlone(copy.dir(), u"copy.mdb"_s);
    }
}

// Files refused before a byte is written, each with its own error.
TEST(JetTarget, RefusedTargetsStayUntouched) {
    const auto header = [](QByteArray& file) { return reinterpret_cast<std::uint8_t*>(file.data()); };
    const struct {
        const char* kind;
        const char* fixture;
        std::function<void(jettest::Copy&)> prepare;
        QString connect;
        int error;
        QString mentions;
    } cases[] = {
        {"wrong password", "target-v2000.mdb", [](jettest::Copy&) {}, u";pwd=otherpass"_s,
         dao::err::kInvalidPassword, {}},
        {"Access 97", "target-v2000.mdb",
         [&](jettest::Copy& c) { header(c.bytes())[0x14] = 0; c.write(); }, kConnect, dao::err::kReadOnly, {}},
        {"Access 2007", "target-v2000.mdb",
         [&](jettest::Copy& c) { std::memcpy(header(c.bytes()) + 4, "Standard ACE DB", 15); c.write(); }, kConnect,
         dao::err::kUnrecognizedFormat, {}},
        {"open in Access", "target-v2000.mdb",
         [](jettest::Copy& c) {
             QFile ldb(c.dir().filePath(u"COPY.LDB"_s));
             ASSERT_TRUE(ldb.open(QIODevice::WriteOnly));
             QByteArray record(64, '\0');
             record.replace(0, 5, "PC-01");
             record.replace(32, 5, "Admin");
             QByteArray second(64, '\0');
             second.replace(0, 6, QByteArray("\x8E\x96\x96\xB1\x8E\xBA", 6)); // 事務室 in code page 932
             ldb.write(record + second);
         },
         kConnect, dao::err::kFileInUse, u"PC-01, 事務室"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        jettest::Copy copy(QString::fromUtf8(c.fixture));
        c.prepare(copy);
        const QByteArray before = bytesOf(copy.path());
        try {
            openTarget(copy.path(), c.connect);
            ADD_FAILURE() << "opened";
        } catch (const vb::RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(c.mentions)) << e.description().toStdString();
        }
        EXPECT_EQ(bytesOf(copy.path()), before);
        EXPECT_EQ(QDir(copy.dir().path()).entryList(QDir::Files | QDir::Hidden).filter(u".tmp"_s), QStringList());
    }
}

// Refused at the first edit, before anything is written: 中学校区 in an
// index, another field; a second copy of the program is refused at open.
TEST(JetTarget, RefusedEdits) {
    {
        jettest::Copy copy(u"target-indexed-v2000.mdb"_s);
        {
            const auto store = openTarget(copy.path());
            const auto cursor = store->openRecordset(kAll + u" WHERE 棟番号=1"_s);
            try {
                cursor->edit();
                ADD_FAILURE() << "edited";
            } catch (const vb::RuntimeError& e) {
                EXPECT_EQ(e.number(), dao::err::kReadOnly);
                EXPECT_TRUE(e.description().contains(u"中学校区"_s)) << e.description().toStdString();
            }
            store->close();
        }
        EXPECT_EQ(bytesOf(copy.path()), copy.bytes());
        expectAlone(copy.dir(), u"copy.mdb"_s);
    }
    {
        jettest::Copy copy(u"target-v2000.mdb"_s);
        // A copy a killed run left behind goes at the next open.
        QFile leftover(copy.dir().filePath(u".copy.mdb.tou-4000000.tmp"_s));
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        const auto store = openTarget(copy.path());
        EXPECT_EQ(errorOf([&] { openTarget(copy.path()); }), dao::err::kFileInUse);
        const auto cursor = store->openRecordset(kAll + u" WHERE 棟番号=1"_s);
        cursor->edit();
        EXPECT_EQ(errorOf([&] { cursor->setValue(1, u"南小学校区"_s); }), dao::err::kFieldNotUpdatable);
        store->close();
        EXPECT_EQ(bytesOf(copy.path()), copy.bytes());
        expectAlone(copy.dir(), u"copy.mdb"_s);
    }
}

// What happens to the file between open and close decides whether the
// work replaces it: Access opening it (.ldb) or anyone rewriting it keeps the
// original as it is now; a stopped read (error 18) does not lose earlier work.
TEST(JetTarget, ChangesUnderTheRun) {
    const struct {
        const char* kind;
        std::function<void(jettest::Copy&)> meanwhile;
        int error;
        bool revised; // the revision reached the file
    } cases[] = {
        {"nothing", [](jettest::Copy&) {}, 0, true},
        {"Access opened it",
         [](jettest::Copy& c) {
             QFile ldb(c.dir().filePath(u"copy.ldb"_s));
             ASSERT_TRUE(ldb.open(QIODevice::WriteOnly));
         },
         dao::err::kWriteConflict, false},
        {"someone rewrote it",
         [](jettest::Copy& c) {
             QFile f(c.path());
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             const QByteArray same = f.readAll();
             f.seek(0);
             f.write(same); // same bytes, a new modification time
         },
         dao::err::kWriteConflict, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        jettest::Copy copy(u"target-v2000.mdb"_s);
        Rows model = readRows(copy.path());
        auto stop = std::make_shared<dao::InterruptCheck>([] { return false; });
        const auto store = dao::JetTargetStore::open(dao::probeFile(copy.path(), 0), kConnect, stop);
        revise(*store, 1, u"北中"_s);
        *stop = [] { return true; };
        EXPECT_EQ(errorOf([&] { store->openRecordset(kAll); }), dao::err::kUserInterrupt);
        c.meanwhile(copy);
        const QByteArray before = bytesOf(copy.path());
        EXPECT_EQ(errorOf([&] { store->close(); }), c.error);
        if (c.revised) {
            applyToModel(model, 1, u"北中"_s);
            EXPECT_EQ(readRows(copy.path()), model);
        } else {
            EXPECT_EQ(bytesOf(copy.path()), before);
        }
        EXPECT_EQ(QDir(copy.dir().path()).entryList(QDir::Files | QDir::Hidden).filter(u".tmp"_s), QStringList());
    }
}

// An update that fails only when it is applied (the row reached through two
// pointers, which readers follow and the writer refuses as damage) is raised
// by a later call at the latest by close: the rows before it are kept and
// none after it is applied.
TEST(JetTarget, AFailureMetWhileApplyingKeepsTheRowsBeforeIt) {
    jettest::Copy copy(u"target-v2000.mdb"_s);
    const Rows model = readRows(copy.path());
    {
        testsupport::JetCraft craft(jettest::fixture(u"target-v2000.mdb"_s), copy.path());
        const std::uint32_t definition = craft.definitionPage(kTable, kPassword);
        const std::uint32_t first = craft.dataPages(definition).front();
        QByteArray page = craft.page(first);
        std::uint16_t offset = 0;
        std::memcpy(&offset, page.constData() + 14, 2);
        const qsizetype start = offset & 0x1FFF;
        const QByteArray row = page.mid(start);
        const auto flagged = [](QByteArray p, std::uint16_t flags) {
            p[15] = static_cast<char>(p[15] | flags >> 8);
            return p;
        };
        const auto pointerTo = [](std::uint32_t to, qsizetype size) {
            QByteArray p(size, '\0');
            std::memcpy(p.data() + 1, &to, 3); // slot 0 of page `to`
            return p;
        };
        const std::uint32_t moved = craft.append(flagged(testsupport::JetCraft::rowsPage(definition, {row}), 0x8000));
        const std::uint32_t hop = craft.append(
            flagged(testsupport::JetCraft::rowsPage(definition, {pointerTo(moved, 4)}), 0xC000));
        craft.write();
        page.replace(start, row.size(), pointerTo(hop, row.size()));
        QFile f(copy.path());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(qint64{first} * kPage));
        ASSERT_EQ(f.write(flagged(page, 0x4000)), kPage);
    }
    ASSERT_EQ(readRows(copy.path()), model) << "the reader follows both pointers";
    const std::int64_t chained = model.front()[0].toLongLong();
    const std::int64_t before = model[1][0].toLongLong(), after = model[2][0].toLongLong();

    const auto store = openTarget(copy.path());
    revise(*store, before, u"北中"_s);
    // Whichever call meets the failure raises it, one of them and only once.
    const std::vector<int> raised{errorOf([&] { revise(*store, chained, u"南中"_s); }),
                                  errorOf([&] { revise(*store, after, u"東中"_s); }),
                                  errorOf([&] { store->close(); })};
    EXPECT_EQ(std::count(raised.begin(), raised.end(), dao::err::kCorrupt), 1);
    EXPECT_EQ(std::count(raised.begin(), raised.end(), 0), 2);
    Rows expected = model;
    applyToModel(expected, before, u"北中"_s);
    EXPECT_EQ(readRows(copy.path()), expected);
    expectAlone(copy.dir(), u"copy.mdb"_s);
}

// The keyed query finds rows by numeric equality whatever the key's type,
// the first of equal keys first, in stored order.
TEST(JetTarget, KeysOfEveryType) {
    const struct {
        const char* fixture;
        QString literal;
        QStringList junior; // 中学校区 of the rows found, in order
    } cases[] = {
        {"target-v2000.mdb", u"20"_s, {u"未設定"_s, u"重複"_s}},
        {"target-v2000.mdb", u"5"_s, {}}, // deleted
        {"integer-key-v2000.mdb", u"-32768"_s, {u"最小中学校区"_s}},
        {"double-key-v2000.mdb", u"12.5"_s, {u"十二・五中学校区"_s}},
        {"double-key-v2000.mdb", u"101"_s, {u"第一中学校区"_s}},
        {"currency-key-v2000.mdb", u"0.0001"_s, {u"極小中学校区"_s}},
        {"currency-key-v2000.mdb", u"103.0001"_s, {}},
        {"text-key-v2000.mdb", u"102"_s, {u"第二中学校区"_s}},
        {"text-key-v2000.mdb", u"103"_s, {u"第三中学校区"_s}},
        {"text-key-v2000.mdb", u"12.5"_s, {u"十二・五中学校区"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + c.literal.toStdString());
        jettest::Copy copy(QString::fromUtf8(c.fixture));
        const auto store = openTarget(copy.path());
        for (int twice = 0; twice < 2; ++twice) { // built, then answered from memory
            const auto cursor = store->openRecordset(kAll + u" WHERE 棟番号="_s + c.literal);
            QStringList found;
            for (; !cursor->eof(); cursor->moveNext())
                found << cursor->value(2).toText();
            EXPECT_EQ(found, c.junior);
        }
        EXPECT_EQ(store->statistics().lookupsBuilt, 1u);
        store->close();
    }
}

// Random revisions of the packed table, many of them moving rows again and
// again: the file read back equals the model of the rows.
TEST(JetTarget, RandomRevisionsMatchTheModel) {
    jettest::Copy copy(u"target-v2000.mdb"_s);
    Rows model = readRows(copy.path());
    std::mt19937 random(20261208);
    const QStringList pieces{u"青葉"_s, u"中学校"_s, u"区"_s, u"Aoba"_s, u"-chu"_s,
                             u"第"_s,   u"𠮷"_s,     u" "_s,  u"北"_s};
    {
        const auto store = openTarget(copy.path());
        for (int i = 0; i < 10000; ++i) {
            const auto key = static_cast<std::int64_t>(random() % 405);
            std::optional<QString> value;
            if (random() % 20 != 0) {
                value = QString();
                const int parts = static_cast<int>(random() % 12);
                for (int p = 0; p < parts; ++p)
                    *value += pieces[static_cast<qsizetype>(random() % pieces.size())];
                value->truncate(50);
                if (value->size() == 50 && value->at(49).isHighSurrogate())
                    value->chop(1);
            }
            revise(*store, key, value);
            applyToModel(model, key, value);
        }
        store->close();
    }
    EXPECT_EQ(readRows(copy.path()), model);
    expectJackcessAgrees(copy.path(), model);
    expectAlone(copy.dir(), u"copy.mdb"_s);
}

} // namespace
