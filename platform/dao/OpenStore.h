#pragma once
// Which Store opens a database file: the kind is told by the file's content
// (FileProbe.h), and each kind has a store of its own.
#include "platform/dao/Interrupt.h"
#include "platform/dao/Store.h"

#include <QString>

#include <memory>

namespace dao {

// Opens an existing database file of a kind this engine reads, telling the
// kind by content. Never creates a file or folder. `exclusive` asks for sole
// use; `connect` is a connect text such as ";pwd=secret"; `interrupt` (maybe
// empty) may stop long reads.
std::shared_ptr<Store> openStore(const QString& name, const QString& connect, bool exclusive, bool readOnly,
                                 InterruptCheckPtr interrupt = {});

} // namespace dao
