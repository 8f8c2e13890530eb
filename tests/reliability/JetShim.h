#pragma once
// Stands in, inside the helper process, for the system calls through which
// an Access target is written (the working copy's copy, page writes, syncs,
// the final rename). It counts them and can stop the process cold before (or
// just after) the n-th one, so a test can kill it exactly there.
#ifdef __cplusplus
extern "C" {
#endif

// Events: "jet.copy", "jet.write", "jet.sync", "jet.dirsync", "jet.rename".
// Stops before the `occurrence`-th `event` (after it, when `after` is not
// zero), announcing "paused <event> <n>" on standard output. A null event
// only counts.
void jetShimInstall(const char* event, int occurrence, int after);
// Writes "count <event> <n>" lines for every event seen to standard output.
void jetShimPrintCounts(void);

#ifdef __cplusplus
}
#endif
