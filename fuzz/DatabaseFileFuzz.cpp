// Database files made to harm the program, through the engine as a run uses
// the source: open, the source query, every row and field, close. Any error
// report is fine; a crash, a sanitiser report or a hang is not.
//
// The input is the file's page image before encryption. The source key is in
// the program, so whoever crafts a file controls every decrypted byte; fuzzing
// the image itself reaches all the parsing a crafted encrypted file can reach,
// without spending each run on key derivation and on mutations that only
// break the page checksums. So the harness opens the image unkeyed, past the
// probe that would turn a plain file away; everything after that is the
// engine's own path. Seeds come from db_fuzz_seeds.
#include "platform/dao/Dao.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"
#include "runtime/RuntimeError.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

const QString kSourceQuery = QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ");
const QString kKeyedQuery = QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=1");
// A row count past which a run is not made any more interesting.
constexpr int kMostRows = 10000;
// Endless queries are the stop button's to end; here, a deadline stands in.
constexpr auto kDeadline = std::chrono::seconds(1);

std::string scratchFile() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/db-fuzz-" + std::to_string(::getpid()) + ".mdb";
}

void readThrough(const dao::RecordsetPtr& rs) {
    if (!vb::isTrue(rs->Eof())) {
        rs->MoveLast(0);
        rs->MoveFirst();
    }
    for (int n = 0; n < kMostRows && !vb::isTrue(rs->Eof()); ++n) {
        for (const char16_t* field : {u"棟番号", u"小学校区", u"中学校区"})
            (void)rs->Fields()->Item(QString::fromUtf16(field))->Value().toText();
        rs->MoveNext();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)dao::DBEngine::create(); // starts the library with the program's limits
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const auto until = std::chrono::steady_clock::now() + kDeadline;
    auto interrupt = std::make_shared<dao::InterruptCheck>([until] { return std::chrono::steady_clock::now() > until; });
    try {
        const dao::ProbedFile file{QString::fromStdString(path), dao::FileKind::Encrypted, size};
        dao::Database db(dao::detail::SqlCipherStore::open(file, QString(), false, true, interrupt));
        try {
            readThrough(db.OpenRecordset(kSourceQuery));
            readThrough(db.OpenRecordset(kKeyedQuery));
            readThrough(db.OpenRecordset(kKeyedQuery)); // the second keyed open builds the lookup
        } catch (const vb::RuntimeError&) {
        }
        db.Close();
    } catch (const vb::RuntimeError&) {
    }
    std::remove((path + "-journal").c_str());
    return 0;
}
