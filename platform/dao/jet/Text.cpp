#include "platform/dao/jet/Text.h"

#include "platform/dao/Errors.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

namespace dao::jet::detail {

QString jet4Text(Bytes bytes) {
    const std::size_t n = bytes.size();
    QString text;
    if (n >= 2 && bytes.u8(0) == 0xFF && bytes.u8(1) == 0xFE) {
        text.reserve(static_cast<qsizetype>(n));
        bool oneByte = true;
        for (std::size_t i = 2; i < n;) {
            if (bytes.u8(i) == 0) { // no character of either run has a 00 low byte, so 00 is the switch
                oneByte = !oneByte;
                ++i;
            } else if (oneByte) {
                text.append(QChar(bytes.u8(i)));
                ++i;
            } else {
                if (i + 1 >= n)
                    break; // half a character at the end: dropped, as nothing can follow it
                text.append(QChar(bytes.u16(i)));
                i += 2;
            }
        }
        return text;
    }
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()), static_cast<qsizetype>(n / 2));
}

struct CodePage::Converter {
    explicit Converter(iconv_t h) : handle(h) {}
    ~Converter() { iconv_close(handle); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t handle;
};

CodePage::CodePage(std::uint16_t number) {
    iconv_t handle = reinterpret_cast<iconv_t>(-1);
    if (number != 0)
        handle = iconv_open("UTF-16LE", ("CP" + std::to_string(number)).c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        handle = iconv_open("UTF-16LE", "CP932"); // not SHIFT-JIS: 932 has NEC and IBM extensions (①) and maps 0x8160 to U+FF5E
    if (handle == reinterpret_cast<iconv_t>(-1))
        throw errors::engineNotStarted(QStringLiteral("iconv cannot convert from CP932"));
    converter_ = std::make_unique<Converter>(handle);
}

CodePage::~CodePage() = default;

QString CodePage::decode(Bytes bytes) {
    iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr); // a fresh start for every value
    // No byte of a code page gives more than one UTF-16 unit.
    std::vector<char16_t> out(bytes.size() + 1);
    auto* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data())); // iconv's prototype, never written
    std::size_t inLeft = bytes.size();
    auto* outAt = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(converter_->handle, &in, &inLeft, &outAt, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG || outLeft < sizeof(char16_t))
            break; // cannot happen by the bound above; stop rather than loop
        // A byte that starts no character, or a character cut off at the end.
        const char16_t replacement = u'\uFFFD';
        std::memcpy(outAt, &replacement, sizeof replacement);
        outAt += sizeof replacement;
        outLeft -= sizeof replacement;
        ++in;
        --inLeft;
        iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr);
    }
    const auto units = (reinterpret_cast<char16_t*>(outAt) - out.data());
    return QString::fromUtf16(out.data(), static_cast<qsizetype>(units));
}

FileText::FileText(bool jet3, std::uint16_t codePage) {
    if (jet3)
        codePage_.emplace(codePage);
}

QString FileText::decode(Bytes bytes) {
    return codePage_ ? codePage_->decode(bytes) : jet4Text(bytes);
}

} // namespace dao::jet::detail
