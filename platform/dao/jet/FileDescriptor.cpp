#include "platform/dao/jet/FileDescriptor.h"

#include <unistd.h>

namespace dao::jet::detail {

void FileDescriptor::reset() noexcept {
    if (fd_ >= 0)
        ::close(fd_); // a failed close leaves nothing to do: writes that matter were synced before
    fd_ = -1;
}

} // namespace dao::jet::detail
