// The helper process's own definitions of the calls below take precedence
// over the C library's for the whole program, the engine included; each
// passes the call on to the next definition (the library's, or the
// sanitiser's).
#define _GNU_SOURCE
#include "tests/reliability/JetShim.h"

#include <dlfcn.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum { kCopy, kWrite, kSync, kDirSync, kRename, kEvents };
static const char* const kNames[kEvents] = {"jet.copy", "jet.write", "jet.sync", "jet.dirsync", "jet.rename"};

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static int installed;
static int pauseEvent = -1;
static int pauseAt;
static int pauseAfter;
static int counts[kEvents];

void jetShimInstall(const char* event, int occurrence, int after) {
    pauseEvent = -1;
    for (int i = 0; event && i < kEvents; ++i)
        if (strcmp(event, kNames[i]) == 0)
            pauseEvent = i;
    pauseAt = occurrence;
    pauseAfter = after;
    installed = 1;
}

void jetShimPrintCounts(void) {
    for (int i = 0; i < kEvents; ++i)
        printf("count %s %d\n", kNames[i], counts[i]);
    fflush(stdout);
}

static void stopHere(int event, int n) {
    printf("paused %s %d\n", kNames[event], n);
    fflush(stdout);
    for (;;)
        pause();
}

// Counts the event; true when the process must stop at it (before or after, as installed).
static int counted(int event) {
    pthread_mutex_lock(&lock);
    const int n = ++counts[event];
    pthread_mutex_unlock(&lock);
    return event == pauseEvent && n == pauseAt;
}

// The files of an Access target's revision: the working copy beside the
// target (".<name>.tou-<pid>.tmp") and the target's folder.
static int isCopy(const char* path) {
    return strstr(path, ".tou-") != NULL && strstr(path, ".tmp") != NULL;
}

static int pathOf(int fd, char* path, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, size - 1);
    if (n < 0)
        return 0;
    path[n] = '\0';
    return 1;
}

static int eventOfFd(int fd, int fileEvent, int dirEvent) {
    char path[PATH_MAX];
    if (!installed || !pathOf(fd, path, sizeof path))
        return -1;
    if (isCopy(path))
        return fileEvent;
    const size_t length = strlen(path);
    if (dirEvent >= 0 && length >= 5 && strcmp(path + length - 5, "/Q_db") == 0)
        return dirEvent;
    return -1;
}

static void* next(const char* name) {
    return dlsym(RTLD_NEXT, name);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t, off_t))next("pwrite");
    const int event = eventOfFd(fd, kWrite, -1);
    const int stop = event >= 0 && counted(event);
    if (stop && !pauseAfter)
        stopHere(event, pauseAt);
    const ssize_t result = real(fd, buf, n, offset);
    if (stop)
        stopHere(event, pauseAt);
    return result;
}

int fsync(int fd) {
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))next("fsync");
    const int event = eventOfFd(fd, kSync, kDirSync);
    const int stop = event >= 0 && counted(event);
    if (stop && !pauseAfter)
        stopHere(event, pauseAt);
    const int result = real(fd);
    if (stop)
        stopHere(event, pauseAt);
    return result;
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length, unsigned int flags) {
    static ssize_t (*real)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    if (!real)
        real = (ssize_t(*)(int, off64_t*, int, off64_t*, size_t, unsigned int))next("copy_file_range");
    const int event = eventOfFd(out, kCopy, -1);
    const int stop = event >= 0 && counted(event);
    if (stop && !pauseAfter)
        stopHere(event, pauseAt);
    const ssize_t result = real(in, inOffset, out, outOffset, length, flags);
    if (stop)
        stopHere(event, pauseAt);
    return result;
}

int rename(const char* from, const char* to) {
    static int (*real)(const char*, const char*);
    if (!real)
        real = (int (*)(const char*, const char*))next("rename");
    const int stop = installed && isCopy(from) && counted(kRename);
    if (stop && !pauseAfter)
        stopHere(kRename, pauseAt);
    const int result = real(from, to);
    if (stop)
        stopHere(kRename, pauseAt);
    return result;
}
