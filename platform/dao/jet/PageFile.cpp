#include "platform/dao/jet/PageFile.h"

#include "platform/dao/Errors.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Rc4.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <unistd.h>

namespace dao::jet::detail {

namespace {

// Consecutive held pages go out in one write of at most this many.
constexpr std::size_t kMostPagesPerWrite = 64;
// Buffers kept for reuse, at most: the cache lets go of one page per read.
constexpr std::size_t kMostSpare = 16;

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

PageFile::PageFile(FileDescriptor fd, QString path, const Header& header, std::uint32_t count, Limits limits)
    : fd_(std::move(fd)), path_(std::move(path)), pageSize_(header.format.pageSize), pageKey_(header.pageKey),
      count_(count), limits_(limits) {}

void PageFile::code(std::uint32_t number, std::span<std::uint8_t> page) const {
    if (pageKey_ == 0)
        return;
    const std::uint32_t key = pageKey_ ^ number;
    const std::array<std::uint8_t, 4> bytes{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                            static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    rc4(bytes, page);
}

void PageFile::makeRoom() const {
    if (sweep_.size() > 4 * limits_.pages) {
        // Mostly stale numbers (a file that fits never sweeps): start again from the pages kept.
        sweep_.clear();
        for (const auto& [number, cached] : pages_)
            if (!cached.held)
                sweep_.push_back(number);
    }
    // Each page is looked at most twice (once to clear its mark), so the
    // sweep ends even when every clean page was read recently.
    for (std::size_t looked = 2 * sweep_.size(); pages_.size() >= limits_.pages && looked > 0 && !sweep_.empty();
         --looked) {
        const std::uint32_t number = sweep_.front();
        sweep_.pop_front();
        const auto found = pages_.find(number);
        if (found == pages_.end() || found->second.held)
            continue; // gone already, or held: flush() offers it again
        if (found->second.recent) {
            found->second.recent = false;
            sweep_.push_back(number);
            continue;
        }
        if (spare_.size() < kMostSpare)
            spare_.push_back(std::move(found->second.page));
        pages_.erase(found);
    }
}

Page PageFile::buffer() const {
    Page page;
    if (!spare_.empty()) {
        page = std::move(spare_.back());
        spare_.pop_back();
    }
    page.resize(pageSize_);
    return page;
}

const Page& PageFile::read(std::uint32_t number) const {
    if (number == 0 || number >= count_)
        damaged("a page number outside the file");
    if (const auto found = pages_.find(number); found != pages_.end()) {
        found->second.recent = true;
        return found->second.page;
    }
    Page page = buffer(); // every byte read below
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
    makeRoom();
    Cached& cached = pages_[number];
    cached.page = std::move(page);
    sweep_.push_back(number);
    return cached.page;
}

Page PageFile::write(std::uint32_t number, Page page) {
    if (number == 0 || number > count_ || page.size() != pageSize_)
        damaged("a page written outside the file");
    if (number == count_)
        ++count_;
    Cached& cached = pages_[number];
    std::swap(cached.page, page);
    cached.recent = true;
    if (!cached.held) {
        cached.held = true;
        ++held_;
        heldPages_.push_back(number);
    }
    changed_ = true;
    return page;
}

bool PageFile::full() const noexcept {
    return held_ > limits_.held;
}

void PageFile::flush() {
    // In page order, runs of consecutive pages in one write each: fewer
    // system calls, and the file grows in order.
    std::sort(heldPages_.begin(), heldPages_.end());
    heldPages_.erase(std::unique(heldPages_.begin(), heldPages_.end()), heldPages_.end());
    std::size_t next = 0;
    const auto heldAt = [&](std::size_t i) -> Cached* {
        const auto found = pages_.find(heldPages_[i]);
        return found != pages_.end() && found->second.held ? &found->second : nullptr;
    };
    while (next < heldPages_.size()) {
        Cached* first = heldAt(next);
        if (!first) {
            ++next;
            continue;
        }
        const std::uint32_t from = heldPages_[next];
        std::vector<Cached*> run{first};
        while (run.size() < kMostPagesPerWrite && next + run.size() < heldPages_.size() &&
               heldPages_[next + run.size()] == from + run.size()) {
            Cached* more = heldAt(next + run.size());
            if (!more)
                break;
            run.push_back(more);
        }
        // Encoded pages, and runs of more than one, are written from a copy;
        // a lone plain page as it is.
        std::span<const std::uint8_t> out(first->page);
        if (pageKey_ != 0 || run.size() > 1) {
            out_.resize(run.size() * pageSize_);
            for (std::size_t k = 0; k < run.size(); ++k) {
                const std::span<std::uint8_t> slot(out_.data() + k * pageSize_, pageSize_);
                std::copy(run[k]->page.begin(), run[k]->page.end(), slot.begin());
                code(from + static_cast<std::uint32_t>(k), slot);
            }
            out = out_;
        }
        const off_t at = static_cast<off_t>(std::uint64_t{from} * pageSize_); // a binding no lambda may capture
        whole(
            out.size(),
            [&](std::size_t done) {
                return ::pwrite(fd_.get(), out.data() + done, out.size() - done, at + static_cast<off_t>(done));
            },
            [&] { throw errno == ENOSPC || errno == EDQUOT ? errors::diskFull(path_) : errors::diskError(path_); });
        for (std::size_t k = 0; k < run.size(); ++k) {
            run[k]->held = false;
            --held_;
            sweep_.push_back(from + static_cast<std::uint32_t>(k));
        }
        next += run.size();
    }
    heldPages_.clear();
    makeRoom();
}

} // namespace dao::jet::detail
