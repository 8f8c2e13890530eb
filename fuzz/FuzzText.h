#pragma once
// Shared pieces of the harnesses: turning fuzz bytes into texts that reach
// the interesting branches, and failing loudly when an invariant breaks.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const QString& input, const QString& detail = QString()) {
    std::fprintf(stderr, "invariant broken: %s\ninput (UTF-16 units):", what);
    for (QChar c : input)
        std::fprintf(stderr, " %04x", c.unicode());
    std::fprintf(stderr, "\ninput (UTF-8): %s\n%s\n", input.toUtf8().constData(), detail.toUtf8().constData());
    std::abort();
}

// A text of at most maxUnits code units. How it is made is itself fuzzed:
// UTF-8 (well-formed or not), raw UTF-16 (lone surrogates included), or
// characters drawn from `alphabet` so that the separators and marks the
// code under test looks for turn up often.
inline QString text(FuzzedDataProvider& in, std::u16string_view alphabet, std::size_t maxUnits = 256) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
        const std::string bytes = in.ConsumeRandomLengthString(maxUnits);
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    case 1: {
        QString s;
        const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
        for (std::size_t i = 0; i < n && in.remaining_bytes() >= 2; ++i)
            s += QChar(in.ConsumeIntegral<char16_t>());
        return s;
    }
    default: {
        QString s;
        const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
        for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i)
            s += QChar(alphabet[in.ConsumeIntegralInRange<std::size_t>(0, alphabet.size() - 1)]);
        return s;
    }
    }
}

} // namespace fuzz

#define FUZZ_REQUIRE(cond, input) \
    do { \
        if (!(cond)) \
            ::fuzz::fail(#cond, (input)); \
    } while (false)
