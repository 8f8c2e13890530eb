#include "platform/dao/jet/PageFile.h"

#include "platform/dao/Errors.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Rc4.h"

#include <array>
#include <cerrno>

#include <unistd.h>

namespace dao::jet::detail {

namespace {

// Held pages beyond this are written out, and clean pages beyond this are
// let go: memory stays small on any run (32 MiB held, 32 MiB clean).
constexpr std::size_t kMostHeld = 8192;
constexpr std::size_t kMostClean = 8192;

// Repeats `step` (one pread or pwrite of what is left, from byte `done` on)
// until `size` bytes are through, again where a signal cut it short;
// `failed` raises the error for any other failure.
template <class Step, class Failed>
void whole(std::size_t size, Step step, Failed failed) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0)
            failed();
        done += static_cast<std::size_t>(moved);
    }
}

} // namespace

PageFile::PageFile(FileDescriptor fd, QString path, const Header& header, std::uint32_t count)
    : fd_(std::move(fd)), path_(std::move(path)), pageSize_(header.format.pageSize), pageKey_(header.pageKey),
      count_(count) {}

void PageFile::code(std::uint32_t number, Page& page) const {
    if (pageKey_ == 0)
        return;
    const std::uint32_t key = pageKey_ ^ number;
    const std::array<std::uint8_t, 4> bytes{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                            static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    rc4(bytes, page);
}

Page PageFile::read(std::uint32_t number) const {
    if (number == 0 || number >= count_)
        damaged("a page number outside the file");
    if (const auto held = held_.find(number); held != held_.end())
        return held->second;
    if (const auto clean = clean_.find(number); clean != clean_.end())
        return clean->second;
    Page page(pageSize_);
    whole(
        page.size(),
        [&](std::size_t done) {
            const ssize_t got = ::pread(fd_.get(), page.data() + done, page.size() - done,
                                        static_cast<off_t>(std::uint64_t{number} * pageSize_ + done));
            if (got == 0)
                damaged("the file ends inside a page");
            return got;
        },
        [&] { throw errors::diskError(path_); });
    code(number, page);
    if (clean_.size() >= kMostClean)
        clean_.clear();
    clean_.emplace(number, page);
    return page;
}

void PageFile::write(std::uint32_t number, Page page) {
    if (number == 0 || number > count_ || page.size() != pageSize_)
        damaged("a page written outside the file");
    if (number == count_)
        ++count_;
    clean_.erase(number);
    held_[number] = std::move(page);
    changed_ = true;
}

bool PageFile::full() const noexcept {
    return held_.size() > kMostHeld;
}

void PageFile::flush() {
    for (auto& [number, page] : held_) {
        // Encoded pages are written from a copy; plain ones as they are.
        Page coded = pageKey_ != 0 ? page : Page();
        code(number, coded);
        const Page& out = pageKey_ != 0 ? coded : page;
        const off_t at = static_cast<off_t>(std::uint64_t{number} * pageSize_); // a binding no lambda may capture
        whole(
            out.size(),
            [&](std::size_t done) {
                return ::pwrite(fd_.get(), out.data() + done, out.size() - done, at + static_cast<off_t>(done));
            },
            [&] { throw errno == ENOSPC || errno == EDQUOT ? errors::diskFull(path_) : errors::diskError(path_); });
    }
    if (clean_.size() + held_.size() > kMostClean)
        clean_.clear();
    clean_.merge(held_);
    held_.clear();
}

} // namespace dao::jet::detail
