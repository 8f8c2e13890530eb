#pragma once
// The pages of one Jet file, read through libmdb, which opens the file for
// reading only and undoes the RC4 encoding of encoded databases. Only page
// numbers inside the file are passed on, so libmdb never reads past its end.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Header.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace dao::jet::detail {

class Pages {
public:
    // Opens `path`, whose header was read as `header` and which holds
    // `count` whole pages. Raises 3051 when libmdb cannot open it or sees
    // another version or page key than the header says.
    Pages(const QString& path, const Header& header, std::uint32_t count);
    ~Pages();
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    std::uint32_t count() const noexcept { return count_; }
    std::uint32_t size() const noexcept { return size_; }
    // The bytes every read so far has handed out: what the values read from
    // this file are measured against, rather than its apparent size.
    std::uint64_t bytesRead() const noexcept { return bytesRead_; }

    // Page `number`, decoded into `buffer` (the view lives as long as the
    // buffer's contents). Damaged for a number past the end, for page 0 (no
    // pointer ever leads there) or a failed read.
    Bytes read(std::uint32_t number, std::vector<std::uint8_t>& buffer);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::uint32_t count_;
    std::uint32_t size_;
    std::uint64_t bytesRead_ = 0;
};

} // namespace dao::jet::detail
