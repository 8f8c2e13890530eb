#pragma once
// Path, size, time and text helpers the forms share. Paths use "\" as the
// only separator and "." as the extension mark; the extension starts at the
// last "." of the whole text, even when that "." lies in a folder name.
// Positions are 1-based UTF-16 code units; truth values are vb::Boolean.
#include "runtime/Currency.h"
#include "runtime/Truth.h"

#include <QString>
#include <cstdint>

class cShlwVB {
public:
    // Appends "\" unless the text already ends with one ("" gives "\").
    QString VBAddBackslash(QString strPathName) const;
    // Drops one trailing "\"; error 5 for the empty text.
    QString VBRemoveBackslash(QString strPathName) const;
    // The folder part up to the last "\": with it when blnOption is true,
    // without it otherwise. A text without "\" comes back unchanged.
    QString VBFindPathName(QString strFileName, vb::Boolean blnOption) const;
    // The name between the folder and the extension; error 5 when the last
    // "." lies before the file name (or there is a folder and no ".").
    QString VBFindFileName(QString strFileName) const;
    // From the last "." on: with it when blnOption is true, without it
    // otherwise. A text without "." comes back unchanged.
    QString VBFindExtension(QString strFileName, vb::Boolean blnOption) const;
    // Everything before the last "."; error 5 when there is none.
    QString VBRemoveExtension(QString strFileName) const;
    // Replaces the extension: VBRemoveExtension + "." + strExt.
    QString VBRenameExtension(QString strFileName, QString strExt) const;
    // Everything after the last "\".
    QString VBStripPath(QString strPathName) const;
    // Whether the text starts with "\\".
    vb::Boolean VBIsUNC(QString strPathName) const;
    // Whether the text contains "://".
    vb::Boolean VBIsURL(QString strURL) const;
    // "1,023 KB" below one megabyte, "1.13 MB" from there on, decided by the
    // size rounded to a whole number; error 6 beyond the 32-bit range.
    QString VBFormatKBSize(vb::Currency curByteSize) const;
    // A duration as "59秒", "1分30秒" or "2時間1分"; never raises.
    QString VBFromTimeInterval(std::int32_t lngMiliSecond) const;
    // strFirst from the first occurrence of strSrch on, or "". blnOption true
    // compares exactly; false ignores case.
    QString VBStrStr(QString strFirst, QString strSrch, vb::Boolean blnOption) const;
    // Creates every missing folder of the path, top-down. Returns vbFalse when
    // the walk completed and vbTrue after an error, which it reports in a box.
    vb::Boolean VBMakeSureDirectoryPathExists(QString strPathName) const;
};
