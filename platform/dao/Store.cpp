#include "platform/dao/Store.h"

#include "platform/dao/FileProbe.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"

namespace dao {

std::shared_ptr<Store> openStore(const QString& name, const QString& connect, bool exclusive, bool readOnly,
                                 InterruptCheckPtr interrupt) {
    const ProbedFile file = probeFile(name, detail::longestPath());
    // Every kind that passed the probe is tried as an encrypted file; one
    // that is not fails there as a wrong key or an unknown format.
    return detail::SqlCipherStore::open(file, connect, exclusive, readOnly, std::move(interrupt));
}

} // namespace dao
