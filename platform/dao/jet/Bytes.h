#pragma once
// A read-only view of bytes from the file with little-endian reads that check
// every offset: the file is untrusted, so no read may leave what was read.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace dao::jet::detail {

// The file contradicts itself; JetFile turns it into error 3049.
struct Damaged : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void damaged(const char* why) {
    throw Damaged(why);
}

class Bytes {
public:
    Bytes() = default;
    explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t size() const noexcept { return data_.size(); }
    const std::uint8_t* data() const noexcept { return data_.data(); }

    // `length` bytes from `offset`.
    Bytes sub(std::size_t offset, std::size_t length) const {
        check(offset, length);
        return Bytes(data_.subspan(offset, length));
    }
    // Everything from `offset` on.
    Bytes from(std::size_t offset) const {
        check(offset, 0);
        return Bytes(data_.subspan(offset));
    }

    std::uint8_t u8(std::size_t at) const { return get<std::uint8_t>(at); }
    std::uint16_t u16(std::size_t at) const { return get<std::uint16_t>(at); }
    std::uint32_t u32(std::size_t at) const { return get<std::uint32_t>(at); }
    std::int16_t i16(std::size_t at) const { return get<std::int16_t>(at); }
    std::int32_t i32(std::size_t at) const { return get<std::int32_t>(at); }
    std::int64_t i64(std::size_t at) const { return get<std::int64_t>(at); }
    float f32(std::size_t at) const { return get<float>(at); }
    double f64(std::size_t at) const { return get<double>(at); }

private:
    void check(std::size_t offset, std::size_t length) const {
        if (offset > data_.size() || length > data_.size() - offset)
            damaged("a read past the end of a page or value");
    }
    static_assert(std::endian::native == std::endian::little, "reads copy the file's little-endian bytes as they are");
    template <class T>
    T get(std::size_t at) const {
        check(at, sizeof(T));
        T value;
        std::memcpy(&value, data_.data() + at, sizeof value);
        return value;
    }

    std::span<const std::uint8_t> data_;
};

} // namespace dao::jet::detail
