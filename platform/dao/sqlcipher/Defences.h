#pragma once
// What every connection does against a file made to harm it: SQLite's
// defensive mode, no trust in functions named by the schema, a cap on the
// size of one value, and a bound on how deeply one statement may expand
// views (a long chain of views would otherwise overflow the stack).
#include <sqlcipher/sqlite3.h>

namespace dao::detail {

// The largest text or blob a statement may make: a clear error, instead of
// hundreds of megabytes in memory or in the target.
inline constexpr int kLongestValue = 16 << 20;
// How many views (and their sub-queries) one statement may expand.
inline constexpr int kMostNestedSelects = 200;

class Defences {
public:
    // For the holder of the handle, before anything is read.
    void install(sqlite3* db);
    // The last statement prepared was refused for nesting too deeply.
    bool refusedNesting() const { return refused_; }

private:
    static int authorize(void* self, int action, const char*, const char*, const char*, const char* inner);

    int nested_ = 0;
    bool refused_ = false;
};

} // namespace dao::detail
