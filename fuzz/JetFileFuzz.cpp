// Access (Jet) files made to harm the program, through the reader as a run
// uses the source: open with the source password, read the building table's
// three columns. Any error report is fine; a crash, a sanitiser report or a
// hang is not. Seeds: the Jet test files in tests/data/jet.
#include "platform/dao/jet/JetFile.h"
#include "runtime/RuntimeError.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

// Endless page chains are the stop button's to end; here, a deadline stands in.
constexpr auto kDeadline = std::chrono::seconds(1);

std::string scratchFile() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/jet-fuzz-" + std::to_string(::getpid()) + ".mdb";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const auto until = std::chrono::steady_clock::now() + kDeadline;
    try {
        const auto file = dao::jet::JetFile::open(QString::fromStdString(path), QStringLiteral("k3pwnvhtq7"));
        const dao::jet::Table table =
            file->read(QStringLiteral(u"棟マスタ"),
                       {QStringLiteral(u"棟番号"), QStringLiteral(u"小学校区"), QStringLiteral(u"中学校区")},
                       [until] { return std::chrono::steady_clock::now() > until; });
        for (const auto& row : table.rows) {
            for (const vb::Variant& value : row)
                (void)value.toText();
        }
        // The same rows a page at a time, last first, as a recordset moves.
        const auto rows =
            file->rows(QStringLiteral(u"棟マスタ"), {}, [until] { return std::chrono::steady_clock::now() > until; });
        for (std::uint64_t i = rows->count(); i-- > 0;)
            (void)rows->row(i);
    } catch (const vb::RuntimeError&) {
    }
    return 0;
}
