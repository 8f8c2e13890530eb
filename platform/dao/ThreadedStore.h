#pragma once
// A file worked on from a thread of its own, for files that are only read.
// The thread has a stack large enough for any statement the engine lets
// SQLite prepare (SQLite recurses through the expressions of every view it
// expands), and the caller does not sit inside the library meanwhile: it
// keeps asking the interrupt check. SQLite cannot cut every prepare short,
// so once the user stops and the call does not end soon, the caller stops
// waiting and raises 18; the thread finishes the call alone and then lets the
// file go. Rows cross over in batches, so reading row by row stays cheap.
#include "platform/dao/Interrupt.h"
#include "platform/dao/Store.h"

#include <QString>

#include <memory>

namespace dao {

// openStore (OpenStore.h) run on the file's own thread, and every later call
// of the file there too. `interrupt` is asked on the calling thread only.
std::shared_ptr<Store> openOnOwnThread(const QString& name, const QString& connect, bool exclusive, bool readOnly,
                                       InterruptCheckPtr interrupt);

} // namespace dao
