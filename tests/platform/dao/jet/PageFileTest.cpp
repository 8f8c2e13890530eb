// The working copy's pages kept in bounded memory: whatever is let go of and
// read again, every read gives what was last written, and after flush() the
// file holds every page, plain or RC4-encoded, appended ones included.
#include "platform/dao/jet/PageFile.h"
#include "platform/dao/jet/Rc4.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>

using namespace dao::jet::detail;

namespace {

constexpr std::size_t kPage = 4096;

struct Case {
    const char* name;
    std::uint32_t pageKey;
    PageFile::Limits limits;
};

void code(std::uint32_t pageKey, std::uint32_t number, Page& page) {
    if (pageKey == 0)
        return;
    const std::uint32_t key = pageKey ^ number;
    const std::array<std::uint8_t, 4> bytes{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                            static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    rc4(bytes, page);
}

// Bytes that say which page and which change they are.
Page marked(std::uint32_t number, int step) {
    Page page(kPage);
    for (std::size_t i = 0; i < kPage; ++i)
        page[i] = static_cast<std::uint8_t>(number * 7 + static_cast<std::uint32_t>(step) * 13 + i);
    return page;
}

class PageFileKeeps : public ::testing::TestWithParam<Case> {};

TEST_P(PageFileKeeps, WhatWasWrittenWhateverItLetGoOf) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("copy.mdb"));
    std::vector<Page> model{Page(kPage, 0)};
    for (std::uint32_t n = 1; n < 40; ++n)
        model.push_back(marked(n, 0));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (std::uint32_t n = 0; n < model.size(); ++n) {
            Page stored = model[n];
            if (n > 0)
                code(c.pageKey, n, stored);
            ASSERT_EQ(file.write(reinterpret_cast<const char*>(stored.data()), kPage), qint64{kPage});
        }
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    const Header header{kJet4, c.pageKey, 0, {}};
    PageFile pages(FileDescriptor(fd), path, header, static_cast<std::uint32_t>(model.size()), c.limits);

    std::mt19937 random(20261208);
    for (int step = 1; step <= 3000; ++step) {
        const auto n = static_cast<std::uint32_t>(1 + random() % (model.size() - 1));
        switch (random() % 4) {
        case 0:
            if (model.size() < 64) {
                const auto added = static_cast<std::uint32_t>(model.size());
                model.push_back(marked(added, step));
                pages.write(added, model.back());
                break;
            }
            [[fallthrough]];
        case 1: {
            Page changed = pages.read(n);
            ASSERT_EQ(changed, model[n]) << "page " << n << " at step " << step;
            changed[static_cast<std::size_t>(step) % kPage] ^= 0x5A;
            changed[kPage - 1 - static_cast<std::size_t>(step) % 100] = static_cast<std::uint8_t>(step);
            model[n] = changed;
            pages.write(n, std::move(changed));
            break;
        }
        default:
            ASSERT_EQ(pages.read(n), model[n]) << "page " << n << " at step " << step;
        }
        if (pages.full())
            pages.flush();
    }
    pages.flush();
    ASSERT_TRUE(pages.changed());
    ASSERT_EQ(pages.count(), model.size());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(static_cast<std::size_t>(bytes.size()), model.size() * kPage);
    for (std::uint32_t n = 1; n < model.size(); ++n) {
        Page stored(bytes.begin() + static_cast<qsizetype>(n * kPage),
                    bytes.begin() + static_cast<qsizetype>((n + 1) * kPage));
        code(c.pageKey, n, stored);
        EXPECT_EQ(stored, model[n]) << "page " << n << " in the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, PageFileKeeps,
                         ::testing::Values(Case{"PlainFewKept", 0, {4, 2}}, Case{"EncodedFewKept", 0x6B1F3C27, {4, 2}},
                                           Case{"EncodedOneHeld", 0x0A0B0C0D, {2, 1}},
                                           Case{"PlainAllKept", 0, {1000, 500}}),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

} // namespace
