#include "pathutil/cShlwVB.h"

#include "platform/fso/FileSystemObject.h"
#include "platform/ui/App.h"
#include "platform/ui/MsgBox.h"
#include "runtime/Conversion.h"
#include "runtime/NumberFormat.h"
#include "runtime/RuntimeError.h"
#include "runtime/Text.h"

#include <QStringList>

namespace {

const QString kSeparator = QStringLiteral("\\");
const QString kExtensionMark = QStringLiteral(".");

constexpr std::int32_t kBytesPerKB = 1024;
constexpr std::int32_t kBytesPerMB = 1048576;

// Runs one step of a computation that must not fail as a whole: an error only
// skips that step, and the caller goes on with the next one.
template <class Step>
void resumeNext(Step&& step) {
    try {
        step();
    } catch (const vb::RuntimeError&) {
    }
}

} // namespace

QString cShlwVB::VBAddBackslash(QString strPathName) const {
    if (vb::LastChar(strPathName) != kSeparator)
        return strPathName + kSeparator;
    return strPathName;
}

QString cShlwVB::VBRemoveBackslash(QString strPathName) const {
    // Shortened first on purpose: the empty text is an invalid argument even
    // though it has no backslash to remove.
    QString shortened = vb::Left(strPathName, strPathName.size() - 1);
    if (vb::LastChar(strPathName) == kSeparator)
        return shortened;
    return strPathName;
}

QString cShlwVB::VBFindPathName(QString strFileName, vb::Boolean blnOption) const {
    if (!vb::Contains(strFileName, kSeparator))
        return strFileName;
    qsizetype position = vb::InStrRev(strFileName, kSeparator, vb::Compare::Text);
    if (!vb::isTrue(blnOption))
        position -= 1;
    return vb::Left(strFileName, position);
}

QString cShlwVB::VBFindFileName(QString strFileName) const {
    qsizetype start = 1;
    if (vb::Contains(strFileName, kSeparator))
        start = VBFindPathName(strFileName, vb::vbTrue).size() + 1;
    const qsizetype folderLength = start - 1;
    const QString extension = VBFindExtension(strFileName, vb::vbTrue);
    // Negative when the extension reaches back into the folder part (or is the
    // whole text): Mid rejects that as an invalid argument.
    const qsizetype length = strFileName.size() - folderLength - extension.size();
    return vb::Mid(strFileName, start, length);
}

QString cShlwVB::VBFindExtension(QString strFileName, vb::Boolean blnOption) const {
    if (!vb::Contains(strFileName, kExtensionMark))
        return strFileName;
    qsizetype position = vb::InStrRev(strFileName, kExtensionMark, vb::Compare::Text);
    if (!vb::isTrue(blnOption))
        position += 1;
    return vb::Mid(strFileName, position);
}

QString cShlwVB::VBRemoveExtension(QString strFileName) const {
    const qsizetype position = vb::InStrRev(strFileName, kExtensionMark, vb::Compare::Text);
    return vb::Left(strFileName, position - 1);
}

QString cShlwVB::VBRenameExtension(QString strFileName, QString strExt) const {
    return VBRemoveExtension(strFileName) + kExtensionMark + strExt;
}

QString cShlwVB::VBStripPath(QString strPathName) const {
    qsizetype start = 1;
    if (vb::Contains(strPathName, kSeparator))
        start = VBFindPathName(strPathName, vb::vbTrue).size() + 1;
    return vb::Mid(strPathName, start);
}

vb::Boolean cShlwVB::VBIsUNC(QString strPathName) const {
    return vb::toBoolean(strPathName.size() >= 2 && strPathName[0] == QLatin1Char('\\')
                         && strPathName[1] == QLatin1Char('\\'));
}

vb::Boolean cShlwVB::VBIsURL(QString strURL) const {
    return vb::toBoolean(vb::Contains(strURL, QStringLiteral("://")));
}

QString cShlwVB::VBFormatKBSize(vb::Currency curByteSize) const {
    // The unit follows the rounded size, the megabyte figure the exact one.
    const std::int32_t bytes = vb::CLng(curByteSize);
    if (vb::IntDiv(bytes, kBytesPerMB) < 1)
        return vb::formatGrouped(vb::IntDiv(bytes, kBytesPerKB)) + QStringLiteral(" KB");
    return vb::formatGroupedTwoPlaces(curByteSize.toDouble() / double(kBytesPerMB)) + QStringLiteral(" MB");
}

QString cShlwVB::VBFromTimeInterval(std::int32_t lngMiliSecond) const {
    // Shown in status texts: a failing step leaves its part out instead of
    // interrupting the caller.
    static const QString kSecond = QStringLiteral("秒");
    static const QString kMinute = QStringLiteral("分");
    static const QString kHour = QStringLiteral("時間");

    QString result;
    const double seconds = lngMiliSecond / 1000.0;
    if (seconds <= 60) {
        resumeNext([&] { result = vb::formatAtLeastOneDigit(vb::CLng(seconds)) + kSecond; });
        return result;
    }

    std::int32_t totalSeconds = 0;
    std::int32_t minutes = 0;
    resumeNext([&] { totalSeconds = vb::CLng(seconds); });
    resumeNext([&] { minutes = vb::IntDiv(totalSeconds, 60); });
    if (minutes > 60) {
        std::int32_t hours = 0;
        std::int32_t restMinutes = 0;
        resumeNext([&] { hours = vb::IntDiv(minutes, 60); });
        resumeNext([&] { restMinutes = vb::Mod(minutes, 60); });
        resumeNext([&] { result = vb::formatAtLeastOneDigit(hours) + kHour; });
        if (restMinutes > 0)
            resumeNext([&] { result += vb::formatAtLeastOneDigit(restMinutes) + kMinute; });
    } else {
        std::int32_t restSeconds = 0;
        resumeNext([&] { restSeconds = vb::Mod(totalSeconds, 60); });
        resumeNext([&] { result = vb::formatAtLeastOneDigit(minutes) + kMinute; });
        if (restSeconds > 0)
            resumeNext([&] { result += vb::formatAtLeastOneDigit(restSeconds) + kSecond; });
    }
    return result;
}

QString cShlwVB::VBStrStr(QString strFirst, QString strSrch, vb::Boolean blnOption) const {
    const vb::Compare mode = vb::isTrue(blnOption) ? vb::Compare::Binary : vb::Compare::Text;
    const qsizetype position = vb::InStr(1, strFirst, strSrch, mode);
    if (position > 0)
        return vb::Mid(strFirst, position);
    return QString();
}

vb::Boolean cShlwVB::VBMakeSureDirectoryPathExists(QString strPathName) const {
    vb::Boolean result = vb::vbTrue;
    fso::FileSystemObjectPtr fileSystem;
    try {
        fileSystem = fso::CreateObject(QStringLiteral("Scripting.FileSystemObject"));
        const QString path = VBAddBackslash(strPathName);
        const QString drive = fileSystem->GetDriveName(path);
        // Past the drive and the separator that follows it; the last piece is
        // the empty text after the trailing "\".
        const QStringList pieces = vb::Split(vb::Mid(path, drive.size() + 2), kSeparator);
        QString built = drive + kSeparator;
        for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
            built = VBAddBackslash(built + pieces[i]);
            if (!vb::isTrue(fileSystem->FolderExists(built)))
                fileSystem->CreateFolder(built);
        }
        result = vb::vbFalse;
    } catch (const vb::RuntimeError& err) {
        platform::MsgBox(QString::number(err.number()) + QStringLiteral("\r\n") + err.description(),
                         platform::vbCritical, platform::App::Title());
    }
    fileSystem.reset();
    return result;
}
