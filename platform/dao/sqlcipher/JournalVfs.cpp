#include "platform/dao/sqlcipher/JournalVfs.h"

#include <cstring>
#include <mutex>

namespace dao::detail {

namespace {

// SQLite's own file layer takes no more than 128 KiB in one write (it writes
// pages, never more), so the gathered writes stay well below that.
constexpr int kBufferSize = 64 * 1024;

// Our file: the real one (opened by whatever file system was the default
// then) and, for a journal, the writes not yet sent on.
struct File {
    sqlite3_file base; // must come first: SQLite sees a File as a sqlite3_file
    sqlite3_file* real;
    char* buffer;      // null unless a journal
    sqlite3_int64 start;
    int length;
};

File* self(sqlite3_file* f) {
    return reinterpret_cast<File*>(f);
}

sqlite3_file* realOf(sqlite3_file* f) {
    return self(f)->real;
}

// Sends the gathered writes on; the result of the real write.
int flush(File* f) {
    if (f->length == 0)
        return SQLITE_OK;
    const int rc = f->real->pMethods->xWrite(f->real, f->buffer, f->length, f->start);
    f->length = 0; // sent or failed: either way SQLite hears of it now
    return rc;
}

// Sends the gathered writes on, then makes the call on the real file.
template <auto Method, class... Args>
int flushThen(sqlite3_file* file, Args... args) {
    if (const int rc = flush(self(file)); rc != SQLITE_OK)
        return rc;
    return (realOf(file)->pMethods->*Method)(realOf(file), args...);
}

int fileClose(sqlite3_file* file) {
    File* f = self(file);
    const int flushed = flush(f);
    const int rc = f->real->pMethods ? f->real->pMethods->xClose(f->real) : SQLITE_OK;
    sqlite3_free(f->buffer);
    sqlite3_free(f->real);
    f->buffer = nullptr;
    f->real = nullptr;
    return flushed != SQLITE_OK ? flushed : rc;
}

int fileRead(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
    return flushThen<&sqlite3_io_methods::xRead>(file, out, amount, offset);
}

int fileWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    File* f = self(file);
    if (!f->buffer)
        return f->real->pMethods->xWrite(f->real, data, amount, offset);
    const bool follows = f->length > 0 && offset == f->start + f->length;
    if (!follows || f->length + amount > kBufferSize) {
        if (const int rc = flush(f); rc != SQLITE_OK)
            return rc;
    }
    if (amount > kBufferSize)
        return f->real->pMethods->xWrite(f->real, data, amount, offset);
    if (f->length == 0)
        f->start = offset;
    std::memcpy(f->buffer + f->length, data, static_cast<std::size_t>(amount));
    f->length += amount;
    return SQLITE_OK;
}

int fileTruncate(sqlite3_file* file, sqlite3_int64 size) {
    return flushThen<&sqlite3_io_methods::xTruncate>(file, size);
}

int fileSync(sqlite3_file* file, int flags) {
    return flushThen<&sqlite3_io_methods::xSync>(file, flags);
}

int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    return flushThen<&sqlite3_io_methods::xFileSize>(file, size);
}

// Another process may read the file once a lock is let go.
int fileLock(sqlite3_file* file, int level) {
    return flushThen<&sqlite3_io_methods::xLock>(file, level);
}

int fileUnlock(sqlite3_file* file, int level) {
    return flushThen<&sqlite3_io_methods::xUnlock>(file, level);
}

int fileCheckReservedLock(sqlite3_file* file, int* out) {
    return realOf(file)->pMethods->xCheckReservedLock(realOf(file), out);
}

int fileControl(sqlite3_file* file, int op, void* arg) {
    return flushThen<&sqlite3_io_methods::xFileControl>(file, op, arg);
}

int fileSectorSize(sqlite3_file* file) {
    return realOf(file)->pMethods->xSectorSize(realOf(file));
}

int fileDeviceCharacteristics(sqlite3_file* file) {
    return realOf(file)->pMethods->xDeviceCharacteristics(realOf(file));
}

int fileShmMap(sqlite3_file* file, int page, int size, int extend, void volatile** out) {
    const sqlite3_io_methods* m = realOf(file)->pMethods;
    return m->iVersion >= 2 && m->xShmMap ? m->xShmMap(realOf(file), page, size, extend, out) : SQLITE_IOERR;
}

int fileShmLock(sqlite3_file* file, int offset, int n, int flags) {
    const sqlite3_io_methods* m = realOf(file)->pMethods;
    return m->iVersion >= 2 && m->xShmLock ? m->xShmLock(realOf(file), offset, n, flags) : SQLITE_IOERR;
}

void fileShmBarrier(sqlite3_file* file) {
    const sqlite3_io_methods* m = realOf(file)->pMethods;
    if (m->iVersion >= 2 && m->xShmBarrier)
        m->xShmBarrier(realOf(file));
}

int fileShmUnmap(sqlite3_file* file, int deleteFlag) {
    const sqlite3_io_methods* m = realOf(file)->pMethods;
    return m->iVersion >= 2 && m->xShmUnmap ? m->xShmUnmap(realOf(file), deleteFlag) : SQLITE_OK;
}

int fileFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
    const sqlite3_io_methods* m = realOf(file)->pMethods;
    if (m->iVersion >= 3 && m->xFetch)
        return m->xFetch(realOf(file), offset, amount, out);
    *out = nullptr;
    return SQLITE_OK;
}

int fileUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* p) {
    const sqlite3_io_methods* m = realOf(file)->pMethods;
    return m->iVersion >= 3 && m->xUnfetch ? m->xUnfetch(realOf(file), offset, p) : SQLITE_OK;
}

const sqlite3_io_methods kMethods = {
    3,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileUnlock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    fileShmMap,
    fileShmLock,
    fileShmBarrier,
    fileShmUnmap,
    fileFetch,
    fileUnfetch,
};

sqlite3_vfs g_vfs;

// The file system beneath: the default at the moment of the call, so that a
// layer installed as the default later (a test's, say) still sees every file.
sqlite3_vfs* below() {
    return sqlite3_vfs_find(nullptr);
}

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    File* f = self(file);
    f->base.pMethods = nullptr; // SQLite calls no close on a file whose open failed
    sqlite3_vfs* real = below();
    f->real = static_cast<sqlite3_file*>(sqlite3_malloc(real->szOsFile));
    f->buffer = nullptr;
    f->start = 0;
    f->length = 0;
    if (!f->real)
        return SQLITE_NOMEM;
    std::memset(f->real, 0, static_cast<std::size_t>(real->szOsFile));
    const int rc = real->xOpen(real, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (f->real->pMethods)
            f->real->pMethods->xClose(f->real);
        sqlite3_free(f->real);
        f->real = nullptr;
        return rc;
    }
    if (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_MAIN_DB)) {
        f->buffer = static_cast<char*>(sqlite3_malloc(kBufferSize));
        if (!f->buffer) {
            f->real->pMethods->xClose(f->real);
            sqlite3_free(f->real);
            f->real = nullptr;
            return SQLITE_NOMEM;
        }
    }
    f->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return below()->xDelete(below(), name, syncDir);
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return below()->xAccess(below(), name, flags, out);
}

int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return below()->xFullPathname(below(), name, size, out);
}

void* vfsDlOpen(sqlite3_vfs*, const char* name) {
    return below()->xDlOpen(below(), name);
}

void vfsDlError(sqlite3_vfs*, int size, char* out) {
    below()->xDlError(below(), size, out);
}

void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return below()->xDlSym(below(), handle, symbol);
}

void vfsDlClose(sqlite3_vfs*, void* handle) {
    below()->xDlClose(below(), handle);
}

int vfsRandomness(sqlite3_vfs*, int size, char* out) {
    return below()->xRandomness(below(), size, out);
}

int vfsSleep(sqlite3_vfs*, int microseconds) {
    return below()->xSleep(below(), microseconds);
}

int vfsCurrentTime(sqlite3_vfs*, double* out) {
    return below()->xCurrentTime(below(), out);
}

int vfsGetLastError(sqlite3_vfs*, int size, char* out) {
    return below()->xGetLastError ? below()->xGetLastError(below(), size, out) : 0;
}

int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    sqlite3_vfs* v = below();
    if (v->iVersion >= 2 && v->xCurrentTimeInt64)
        return v->xCurrentTimeInt64(v, out);
    double now = 0;
    const int rc = v->xCurrentTime(v, &now);
    *out = static_cast<sqlite3_int64>(now * 86400000.0);
    return rc;
}

} // namespace

const char* journalVfsName() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* real = below();
        g_vfs = {};
        g_vfs.iVersion = 2;
        g_vfs.szOsFile = static_cast<int>(sizeof(File));
        g_vfs.mxPathname = real->mxPathname;
        g_vfs.zName = "tou-journal";
        g_vfs.xOpen = vfsOpen;
        g_vfs.xDelete = vfsDelete;
        g_vfs.xAccess = vfsAccess;
        g_vfs.xFullPathname = vfsFullPathname;
        g_vfs.xDlOpen = vfsDlOpen;
        g_vfs.xDlError = vfsDlError;
        g_vfs.xDlSym = vfsDlSym;
        g_vfs.xDlClose = vfsDlClose;
        g_vfs.xRandomness = vfsRandomness;
        g_vfs.xSleep = vfsSleep;
        g_vfs.xCurrentTime = vfsCurrentTime;
        g_vfs.xGetLastError = vfsGetLastError;
        g_vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
        sqlite3_vfs_register(&g_vfs, 0);
    });
    return g_vfs.zName;
}

} // namespace dao::detail
