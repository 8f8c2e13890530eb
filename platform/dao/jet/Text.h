#pragma once
// Text as the file stores it. Jet 4: UTF-16LE, or with "unicode compression"
// (FF FE, then runs of one byte per character, a 00 byte switching between
// those and two-byte runs). Jet 3: bytes of the database's code page.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace dao::jet::detail {

// Jet 4 text; surrogate pairs pass through, so characters beyond the BMP stay whole.
QString jet4Text(Bytes bytes);

// Decodes one code page with iconv. Not thread-safe (the converter keeps state).
class CodePage {
public:
    // A Windows code page number (932, 1252, ...); 0 or one iconv lacks falls
    // back on 932, what the engine used on the Japanese systems this reads
    // files from. Raises 3000 only where iconv lacks 932.
    explicit CodePage(std::uint16_t number);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    // Undecodable bytes become U+FFFD, one each.
    QString decode(Bytes bytes);

private:
    struct Converter;
    std::unique_ptr<Converter> converter_;
};

// The text of one file, whichever its version.
class FileText {
public:
    FileText(bool jet3, std::uint16_t codePage);
    QString decode(Bytes bytes);

private:
    std::optional<CodePage> codePage_; // Jet 3 only
};

} // namespace dao::jet::detail
