#include "platform/dao/OpenStore.h"

#include "platform/dao/Errors.h"
#include "platform/dao/FileProbe.h"
#include "platform/dao/JetStore.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"

namespace dao {

std::shared_ptr<Store> openStore(const QString& name, const QString& connect, bool exclusive, bool readOnly,
                                 InterruptCheckPtr interrupt) {
    const ProbedFile file = probeFile(name, detail::longestPath());
    switch (file.kind) {
    case FileKind::Jet:
        // Access files are only ever read: sole use and read-only change nothing.
        return JetStore::open(file, connect, std::move(interrupt));
    case FileKind::Ace:
        throw errors::accessFormatNotRead(file.path);
    default:
        // Anything else is tried as an encrypted file; one that is not fails
        // there as a wrong key or an unknown format.
        return detail::SqlCipherStore::open(file, connect, exclusive, readOnly, std::move(interrupt));
    }
}

} // namespace dao
