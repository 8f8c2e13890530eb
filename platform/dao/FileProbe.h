#pragma once
// Where a database path is checked and a file's kind is told by its content,
// before any database library sees it: no library gets the chance to create a
// file, and each kind of wrong path or file gets its own error.
#include <QString>

#include <cstdint>

namespace dao {

enum class FileKind {
    Encrypted, // anything else of at least a page (plain SQLite files are refused)
    Jet,         // Access 97 to 2003: 00 01 00 00 "Standard Jet DB"
    Ace,         // Access 2007 and later: 00 01 00 00 "Standard ACE DB"
};

struct ProbedFile {
    QString path; // "\" read as "/"
    FileKind kind;
    std::uintmax_t size;
};

// Checks the path (raising 3044 for an invalid one or one longer than
// `maxPathBytes` as a full path, 3024 for a missing file in an existing
// folder, 3051 for a folder or anything that cannot be opened) and reads the
// file's first bytes. Plain SQLite files and files shorter than a cipher page
// raise 3343.
ProbedFile probeFile(const QString& name, qsizetype maxPathBytes);

// Every encrypted file is a whole number of these.
inline constexpr std::uintmax_t kCipherPageSize = 1024;

} // namespace dao
