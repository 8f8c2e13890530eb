// The ten path functions of cShlwVB, each checked against what it promises
// and against the others: the folder part and the file part put back
// together give the path, adding and removing a "\" undo each other, and so on.
#include "FuzzText.h"

#include "pathutil/cShlwVB.h"
#include "runtime/RuntimeError.h"

#include <cstdint>
#include <optional>

namespace {

const QString kSep = QStringLiteral("\\");
const QString kDot = QStringLiteral(".");

// The result of f, or nullopt after error 5; any other error breaks an invariant.
template <class F>
auto orError5(const QString& input, F&& f) -> std::optional<decltype(f())> {
    try {
        return f();
    } catch (const vb::RuntimeError& e) {
        FUZZ_REQUIRE(e.number() == vb::kInvalidProcedureCall, input);
        return std::nullopt;
    }
}

bool isTruth(vb::Boolean b) {
    return b == vb::vbTrue || b == vb::vbFalse;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::u16string_view alphabet = u"\\\\\\...a:/ 棟\xD83D\xDE00";
    const QString s = fuzz::text(in, alphabet);
    const QString ext = fuzz::text(in, alphabet, 16);
    const cShlwVB shlw;
    const qsizetype lastSep = s.lastIndexOf(kSep);
    const qsizetype lastDot = s.lastIndexOf(kDot);

    // VBAddBackslash / VBRemoveBackslash
    const QString added = shlw.VBAddBackslash(s);
    FUZZ_REQUIRE(added == (s.endsWith(kSep) ? s : s + kSep), s);
    const std::optional<QString> removed = orError5(s, [&] { return shlw.VBRemoveBackslash(s); });
    FUZZ_REQUIRE(removed.has_value() == !s.isEmpty(), s);
    if (removed)
        FUZZ_REQUIRE(*removed == (s.endsWith(kSep) ? s.chopped(1) : s), s);
    if (!s.endsWith(kSep))
        FUZZ_REQUIRE(shlw.VBRemoveBackslash(added) == s, s);
    FUZZ_REQUIRE(shlw.VBAddBackslash(added) == added, s);

    // VBFindPathName / VBStripPath: folder with its "\" + name = path.
    const QString folder = shlw.VBFindPathName(s, vb::vbTrue);
    const QString folderBare = shlw.VBFindPathName(s, vb::vbFalse);
    const QString name = shlw.VBStripPath(s);
    FUZZ_REQUIRE(s.startsWith(folder), s);
    FUZZ_REQUIRE(s.startsWith(folderBare), s);
    if (lastSep < 0) {
        FUZZ_REQUIRE(folder == s && folderBare == s && name == s, s);
    } else {
        FUZZ_REQUIRE(folder.size() == lastSep + 1 && folder.endsWith(kSep), s);
        FUZZ_REQUIRE(folderBare + kSep == folder, s);
        FUZZ_REQUIRE(folder + name == s, s);
        FUZZ_REQUIRE(!name.contains(kSep), s);
    }
    // Any truth value other than zero selects the "with" form.
    FUZZ_REQUIRE(shlw.VBFindPathName(s, vb::Boolean{1}) == folder, s);

    // VBFindExtension / VBRemoveExtension / VBRenameExtension
    const QString extension = shlw.VBFindExtension(s, vb::vbTrue);
    const QString extensionBare = shlw.VBFindExtension(s, vb::vbFalse);
    const std::optional<QString> stem = orError5(s, [&] { return shlw.VBRemoveExtension(s); });
    const std::optional<QString> renamed = orError5(s, [&] { return shlw.VBRenameExtension(s, ext); });
    if (lastDot < 0) {
        FUZZ_REQUIRE(extension == s && extensionBare == s, s);
        FUZZ_REQUIRE(!stem && !renamed, s);
    } else {
        FUZZ_REQUIRE(extension == s.mid(lastDot) && extension.startsWith(kDot), s);
        FUZZ_REQUIRE(kDot + extensionBare == extension, s);
        FUZZ_REQUIRE(stem && *stem + extension == s, s);
        FUZZ_REQUIRE(renamed && *renamed == *stem + kDot + ext, s);
        FUZZ_REQUIRE(shlw.VBFindExtension(*renamed, vb::vbTrue) == (ext.contains(kDot) ? ext.mid(ext.lastIndexOf(kDot)) : kDot + ext), s);
    }

    // VBFindFileName: the part between the folder and the extension.
    const std::optional<QString> fileName = orError5(s, [&] { return shlw.VBFindFileName(s); });
    if (lastDot < 0) {
        FUZZ_REQUIRE(fileName.has_value() == (lastSep < 0), s);
        if (fileName)
            FUZZ_REQUIRE(fileName->isEmpty(), s);
    } else if (lastDot < lastSep) {
        FUZZ_REQUIRE(!fileName, s);
    } else {
        FUZZ_REQUIRE(fileName && (lastSep < 0 ? QString() : folder) + *fileName + extension == s, s);
        FUZZ_REQUIRE(!fileName->contains(kSep), s);
    }

    // VBIsUNC / VBIsURL
    const vb::Boolean unc = shlw.VBIsUNC(s);
    const vb::Boolean url = shlw.VBIsURL(s);
    FUZZ_REQUIRE(isTruth(unc) && isTruth(url), s);
    FUZZ_REQUIRE(vb::isTrue(unc) == s.startsWith(QStringLiteral("\\\\")), s);
    FUZZ_REQUIRE(vb::isTrue(url) == s.contains(QStringLiteral("://")), s);
    return 0;
}
