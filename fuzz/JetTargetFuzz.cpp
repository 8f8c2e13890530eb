// Access (Jet 4) files made to harm the program, opened as a run opens its
// target: the building table read in stored order with every row's 中学校区
// rewritten (longer, shorter, empty, Null), then one row found by its key and
// rewritten, then closed. Each file must either be refused with an error
// report or come out revised into a file the reader reads back without
// error; a file the reader read before a refusal must read after it too
// (the rows accepted before it are kept). A crash, a sanitiser report, a
// hang or a file left unreadable is a failure. Seeds: the Jet test files in
// tests/data/jet.
#include "platform/dao/Dao.h"
#include "platform/dao/JetTargetStore.h"
#include "platform/dao/jet/JetFile.h"
#include "runtime/RuntimeError.h"

#include <QDir>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

namespace {

// Endless page chains are the stop button's to end; here, a deadline stands in.
constexpr auto kDeadline = std::chrono::seconds(1);
// Enough rows to fill and overflow a page; more only slows the search.
constexpr int kMostRows = 64;
const QString kPassword = QStringLiteral("r8mfyelc4s");
const QString kJunior = QStringLiteral(u"中学校区");

// A folder of its own: the engine puts its working copy beside the file,
// and each input starts with none of it left.
QString scratchFolder() {
    const char* dir = std::getenv("TMPDIR");
    return QString::fromLocal8Bit(dir && *dir ? dir : "/tmp") + QStringLiteral("/jet-target-fuzz-") +
           QString::number(::getpid());
}

// Row by row: much longer, shorter, empty, Null, Latin-1 only.
vb::Variant newValue(int row) {
    switch (row % 5) {
    case 0: return QString(40 + row, u'中');
    case 1: return QStringLiteral(u"区");
    case 2: return QStringLiteral("");
    case 3: return vb::Variant();
    default: return QStringLiteral("Minami-chu %1").arg(row);
    }
}

// The error the reader raises reading the whole table; nullopt when none.
std::optional<int> readError(const QString& path) {
    try {
        (void)dao::jet::JetFile::open(path, kPassword)->read(QStringLiteral(u"棟マスタ"), {}, {});
    } catch (const vb::RuntimeError& e) {
        return e.number();
    }
    return std::nullopt;
}

void rewrite(dao::Recordset& rs, int row) {
    rs.Edit();
    rs.SetCollect(kJunior, newValue(row));
    rs.Update();
}

void revise(const QString& path, std::uintmax_t size, const std::chrono::steady_clock::time_point until) {
    auto interrupt = std::make_shared<dao::InterruptCheck>([until] { return std::chrono::steady_clock::now() > until; });
    dao::Database db(dao::JetTargetStore::open({path, dao::FileKind::Jet, size}, QStringLiteral(";pwd=") + kPassword,
                                               interrupt));
    std::optional<std::int64_t> firstKey;
    {
        const dao::RecordsetPtr rs = db.OpenRecordset(QStringLiteral(u"SELECT 棟番号, 中学校区 FROM 棟マスタ"));
        for (int row = 0; row < kMostRows && !vb::isTrue(rs->Eof()); ++row) {
            const vb::Variant key = rs->Collect(QStringLiteral(u"棟番号"));
            if (const auto* number = std::get_if<std::int64_t>(&key.storage()); number && !firstKey)
                firstKey = *number;
            rewrite(*rs, row);
            rs->MoveNext();
        }
        rs->Close();
    }
    if (firstKey) {
        const dao::RecordsetPtr rs =
            db.OpenRecordset(QStringLiteral(u"SELECT 棟番号, 中学校区 FROM 棟マスタ WHERE 棟番号 = %1").arg(*firstKey));
        if (!vb::isTrue(rs->Eof()))
            rewrite(*rs, 0);
        rs->Close();
    }
    db.Close();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)dao::DBEngine::create(); // starts the library with the program's limits
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = scratchFolder();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/target.mdb");
    {
        std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::optional<int> before = readError(path);
    std::optional<int> after;
    try {
        revise(path, size, std::chrono::steady_clock::now() + kDeadline);
        after = readError(path); // revised: the file must read back whole
    } catch (const vb::RuntimeError&) {
        // Refused, maybe after some rows were rewritten: a file that read
        // before must read still.
        if (!before)
            after = readError(path);
    }
    if (after) {
        std::fprintf(stderr, "the file no longer reads after the revision: error %d\n", *after);
        std::abort();
    }
    return 0;
}
