#pragma once
// Our stand-in for the scripting file-system object: the three folder
// operations the program uses, created by programmatic identifier. Paths are
// written with "\" separators; on POSIX every "\" reads as "/".
// Every failure is raised as vb::RuntimeError.
#include "runtime/Truth.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace fso {

// Error numbers the object raises.
inline constexpr int kFileAlreadyExists = 58;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kCannotCreateObject = 429;

// The real object on the local disk. Its operations are virtual so that tests
// can record or replace them.
class FileSystemObject {
public:
    virtual ~FileSystemObject() = default;

    // "C:" for a path that starts with a letter and ":", "\\server\share" (as
    // written) for a network path naming server and share, else "".
    virtual QString GetDriveName(const QString& path);
    // Whether the path names an existing folder; a trailing separator is fine.
    virtual vb::Boolean FolderExists(const QString& path);
    // Creates one folder; its parent must exist. Errors 76 (parent missing),
    // 58 (something of that name exists), 70 (permission denied), 75 (other).
    virtual void CreateFolder(const QString& path);
};

using FileSystemObjectPtr = std::shared_ptr<FileSystemObject>;

// Creates the object registered under the identifier (case-insensitive).
// "Scripting.FileSystemObject" gives the real object; an unknown identifier
// raises 429.
FileSystemObjectPtr CreateObject(const QString& progId);

// Makes CreateObject use another factory for one identifier while alive. An
// empty factory makes the identifier unknown, as if the component were not
// installed. Overrides nest; each restores what it replaced.
class ScopedFactoryOverride {
public:
    using Factory = std::function<FileSystemObjectPtr()>;

    ScopedFactoryOverride(const QString& progId, Factory factory);
    ~ScopedFactoryOverride();
    ScopedFactoryOverride(const ScopedFactoryOverride&) = delete;
    ScopedFactoryOverride& operator=(const ScopedFactoryOverride&) = delete;

private:
    QString key_;
    std::optional<Factory> previous_;
};

} // namespace fso
