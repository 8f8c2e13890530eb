#include "tests/reliability/VfsShim.h"

#include <sqlcipher/sqlite3.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

namespace reliability {

namespace {

struct State {
    ShimOptions options;
    sqlite3_vfs* real = nullptr;
    std::mutex mutex;
    std::map<std::string, int> counts;
    std::size_t step = 0;
    int stepCount = 0;
};

State& state() {
    static State s;
    return s;
}

void writeLine(const std::string& line) {
    const std::string out = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, out.data(), out.size());
}

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The program's target sits at a fixed place in its folder; every other
// named file of a run is the source or belongs to it.
std::string roleOf(const char* name) {
    if (!name)
        return "other";
    std::string path(name);
    const bool journal = endsWith(path, "-journal");
    if (journal)
        path.resize(path.size() - 8);
    return std::string(endsWith(path, "/Q_db/Q5ProDB.mdb") ? "target" : "source") + (journal ? "-journal" : "-db");
}

// Counts the event; true when the plan says to stop here.
bool reached(const std::string& event) {
    State& s = state();
    int delayMs = 0;
    {
        std::lock_guard lock(s.mutex);
        const int n = ++s.counts[event];
        const auto& plan = s.options.pausePlan;
        if (s.step >= plan.size() || plan[s.step].event != event)
            return false;
        if (++s.stepCount < plan[s.step].occurrence)
            return false;
        delayMs = plan[s.step].delayMs;
        ++s.step;
        s.stepCount = 0;
        if (delayMs == 0) {
            if (s.step < plan.size())
                return false;
            writeLine("paused " + event + " " + std::to_string(n));
            return true;
        }
        writeLine("delayed " + event + " " + std::to_string(n));
    }
    // Outside the lock: other threads go on meanwhile and may reach the next step.
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    return false;
}

[[noreturn]] void waitToBeKilled() {
    // Bounded, so an abandoned helper does not linger for ever.
    std::this_thread::sleep_for(std::chrono::seconds(120));
    _exit(3);
}

void at(const std::string& event) {
    if (reached(event))
        waitToBeKilled();
}

struct ShimFile {
    sqlite3_file base;
    std::string* role; // owned; freed at close
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(this) + kRealOffset); }
    static constexpr std::size_t kRealOffset = (sizeof(sqlite3_file) + sizeof(std::string*) + 15) / 16 * 16;
};

ShimFile* shim(sqlite3_file* f) {
    return reinterpret_cast<ShimFile*>(f);
}

int xClose(sqlite3_file* f) {
    at(*shim(f)->role + ".close");
    const int rc = shim(f)->real()->pMethods->xClose(shim(f)->real());
    delete shim(f)->role;
    shim(f)->role = nullptr;
    return rc;
}

int xRead(sqlite3_file* f, void* buf, int amt, sqlite3_int64 offset) {
    at(*shim(f)->role + ".read");
    return shim(f)->real()->pMethods->xRead(shim(f)->real(), buf, amt, offset);
}

int xWrite(sqlite3_file* f, const void* buf, int amt, sqlite3_int64 offset) {
    sqlite3_file* real = shim(f)->real();
    if (reached(*shim(f)->role + ".write")) {
        if (state().options.torn)
            real->pMethods->xWrite(real, buf, amt / 2, offset);
        waitToBeKilled();
    }
    return real->pMethods->xWrite(real, buf, amt, offset);
}

int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    at(*shim(f)->role + ".truncate");
    return shim(f)->real()->pMethods->xTruncate(shim(f)->real(), size);
}

int xSync(sqlite3_file* f, int flags) {
    at(*shim(f)->role + ".sync");
    return shim(f)->real()->pMethods->xSync(shim(f)->real(), flags);
}

int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return shim(f)->real()->pMethods->xFileSize(shim(f)->real(), size);
}

int xLock(sqlite3_file* f, int level) {
    at(*shim(f)->role + ".lock" + std::to_string(level));
    return shim(f)->real()->pMethods->xLock(shim(f)->real(), level);
}

int xUnlock(sqlite3_file* f, int level) {
    at(*shim(f)->role + ".unlock" + std::to_string(level));
    return shim(f)->real()->pMethods->xUnlock(shim(f)->real(), level);
}

int xCheckReservedLock(sqlite3_file* f, int* out) {
    return shim(f)->real()->pMethods->xCheckReservedLock(shim(f)->real(), out);
}

int xFileControl(sqlite3_file* f, int op, void* arg) {
    return shim(f)->real()->pMethods->xFileControl(shim(f)->real(), op, arg);
}

int xSectorSize(sqlite3_file* f) {
    return shim(f)->real()->pMethods->xSectorSize(shim(f)->real());
}

int xDeviceCharacteristics(sqlite3_file* f) {
    return shim(f)->real()->pMethods->xDeviceCharacteristics(shim(f)->real());
}

// Version 1: no shared memory and no memory mapping, which rollback journals never use.
const sqlite3_io_methods kMethods = {
    1, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock, xCheckReservedLock, xFileControl,
    xSectorSize, xDeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    ShimFile* file = shim(f);
    file->base.pMethods = nullptr;
    file->role = new std::string(roleOf(name));
    at(*file->role + ".open");
    sqlite3_vfs* real = state().real;
    const int rc = real->xOpen(real, name, file->real(), flags, outFlags);
    if (file->real()->pMethods)
        file->base.pMethods = &kMethods;
    else {
        delete file->role;
        file->role = nullptr;
    }
    return rc;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) {
    at(roleOf(name) + ".delete");
    return state().real->xDelete(state().real, name, syncDir);
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return state().real->xAccess(state().real, name, flags, out);
}

int vfsFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return state().real->xFullPathname(state().real, name, n, out);
}

void* vfsDlOpen(sqlite3_vfs*, const char* name) {
    return state().real->xDlOpen(state().real, name);
}

void vfsDlError(sqlite3_vfs*, int n, char* out) {
    state().real->xDlError(state().real, n, out);
}

void (*vfsDlSym(sqlite3_vfs*, void* h, const char* sym))(void) {
    return state().real->xDlSym(state().real, h, sym);
}

void vfsDlClose(sqlite3_vfs*, void* h) {
    state().real->xDlClose(state().real, h);
}

int vfsRandomness(sqlite3_vfs*, int n, char* out) {
    return state().real->xRandomness(state().real, n, out);
}

int vfsSleep(sqlite3_vfs*, int us) {
    return state().real->xSleep(state().real, us);
}

int vfsCurrentTime(sqlite3_vfs*, double* out) {
    return state().real->xCurrentTime(state().real, out);
}

int vfsGetLastError(sqlite3_vfs*, int n, char* out) {
    return state().real->xGetLastError(state().real, n, out);
}

int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return state().real->xCurrentTimeInt64(state().real, out);
}

} // namespace

std::vector<PauseStep> parsePausePlan(const std::string& text) {
    std::vector<PauseStep> plan;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(start, end - start);
        int delayMs = 0;
        if (const std::size_t at = item.find('@'); at != std::string::npos) {
            delayMs = std::stoi(item.substr(at + 1));
            item.resize(at);
        }
        const std::size_t colon = item.find(':');
        plan.push_back({item.substr(0, colon), colon == std::string::npos ? 1 : std::stoi(item.substr(colon + 1)),
                        delayMs});
        start = end + 1;
    }
    return plan;
}

void installShim(const ShimOptions& options) {
    State& s = state();
    s.options = options;
    sqlite3_initialize();
    s.real = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs vfs;
    vfs = {};
    vfs.iVersion = 2;
    vfs.szOsFile = static_cast<int>(ShimFile::kRealOffset) + s.real->szOsFile;
    vfs.mxPathname = s.real->mxPathname;
    vfs.zName = "reliability-shim";
    vfs.xOpen = vfsOpen;
    vfs.xDelete = vfsDelete;
    vfs.xAccess = vfsAccess;
    vfs.xFullPathname = vfsFullPathname;
    vfs.xDlOpen = vfsDlOpen;
    vfs.xDlError = vfsDlError;
    vfs.xDlSym = vfsDlSym;
    vfs.xDlClose = vfsDlClose;
    vfs.xRandomness = vfsRandomness;
    vfs.xSleep = vfsSleep;
    vfs.xCurrentTime = vfsCurrentTime;
    vfs.xGetLastError = vfsGetLastError;
    vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&vfs, 1);
}

std::vector<std::string> shimCounts() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::vector<std::string> lines;
    for (const auto& [event, n] : s.counts)
        lines.push_back("count " + event + " " + std::to_string(n));
    return lines;
}

} // namespace reliability
