// vb::Val against an independent reading of the same text: the leading
// number is cut out by a plain scan and converted by the C library.
#include "FuzzText.h"

#include "runtime/Conversion.h"
#include "runtime/RuntimeError.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

QString withoutBlanks(const QString& s) {
    QString out;
    for (QChar c : s)
        if (!isBlank(c))
            out += c;
    return out;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int radix) {
    const char16_t u = c.unicode();
    const int d = u >= u'0' && u <= u'9' ? u - u'0'
                : u >= u'a' && u <= u'f' ? u - u'a' + 10
                : u >= u'A' && u <= u'F' ? u - u'A' + 10
                                         : 99;
    return d < radix ? d : -1;
}

// "&H" / "&O" numbers: 16 bits signed while the value fits, then 32 bits
// signed, beyond that error 6 (nullopt).
std::optional<double> referenceRadix(const QString& s, qsizetype i, int radix) {
    std::uint64_t value = 0;
    for (int d; i < s.size() && (d = digitValue(s[i], radix)) >= 0; ++i) {
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    if (value <= 0xFFFFu)
        return static_cast<double>(static_cast<std::int16_t>(value));
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

// The text with its blanks already removed.
std::optional<double> reference(const QString& s) {
    if (s.startsWith(u'&')) {
        if (s.size() > 1 && (s[1] == u'H' || s[1] == u'h'))
            return referenceRadix(s, 2, 16);
        if (s.size() > 1 && (s[1] == u'O' || s[1] == u'o'))
            return referenceRadix(s, 2, 8);
        return 0.0;
    }
    std::string number;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        number += static_cast<char>(s[i++].unicode());
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            digits = true;
        } else if (s[i] == u'.' && !point) {
            point = true;
        } else {
            break;
        }
        number += static_cast<char>(s[i].unicode());
    }
    if (!digits)
        return 0.0;
    if (i < s.size() && QStringLiteral("eEdD").contains(s[i])) {
        std::string exponent = "e";
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent += static_cast<char>(s[j++].unicode());
        bool expDigits = false;
        for (; j < s.size() && isDigit(s[j]); ++j) {
            expDigits = true;
            exponent += static_cast<char>(s[j].unicode());
        }
        if (expDigits)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::optional<double> val(const QString& s) {
    try {
        return vb::Val(s);
    } catch (const vb::RuntimeError& e) {
        FUZZ_REQUIRE(e.number() == vb::kOverflow, s);
        return std::nullopt;
    }
}

bool same(const std::optional<double>& a, const std::optional<double>& b) {
    // Zero's sign is not part of the contract; everything else is exact.
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString text = fuzz::text(in, u" \t\r\n0123456789+-.eEdD&HhOoAaFf9１");
    const std::optional<double> got = val(text);
    if (got)
        FUZZ_REQUIRE(!std::isnan(*got), text);
    // Blanks are skipped wherever they stand.
    const QString compact = withoutBlanks(text);
    FUZZ_REQUIRE(same(val(compact), got), text);
    const std::optional<double> expected = reference(compact);
    if (!same(got, expected))
        fuzz::fail("Val agrees with the reference reading", text,
                   QStringLiteral("Val: %1, reference: %2")
                       .arg(got ? QString::number(*got, 'g', 17) : QStringLiteral("error 6"),
                            expected ? QString::number(*expected, 'g', 17) : QStringLiteral("error 6")));
    return 0;
}
