// The password of a connect text: the value of the last "pwd=" part, taken
// verbatim, or nothing; a password put into any connect text comes back out
// unchanged.
#include "FuzzText.h"

#include "platform/dao/ConnectText.h"

#include <cstdint>
#include <optional>

namespace {

// Written from the rule, part by part.
std::optional<QString> expected(const QString& connect) {
    std::optional<QString> password;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = connect.indexOf(u';', start);
        const QString part = connect.mid(start, end < 0 ? -1 : end - start);
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().toLower() == QStringLiteral("pwd"))
            password = part.mid(eq + 1);
        if (end < 0)
            return password;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::u16string_view alphabet = u";;==pwdPWD \t x鍵";
    const QString connect = fuzz::text(in, alphabet);
    const std::optional<QString> got = dao::passwordFromConnect(connect);
    FUZZ_REQUIRE(got == expected(connect), connect);
    if (got)
        FUZZ_REQUIRE(!got->contains(u';'), connect);

    // Any password without ";" survives being put after any other parts.
    QString password = fuzz::text(in, u"=pwd 鍵\t'\"x", 32);
    password.remove(u';');
    const QString key = in.PickValueInArray({QStringLiteral("pwd"), QStringLiteral("PWD"), QStringLiteral(" Pwd ")});
    const QString full = connect + QStringLiteral(";") + key + QStringLiteral("=") + password;
    FUZZ_REQUIRE(dao::passwordFromConnect(full) == password, full);
    return 0;
}
