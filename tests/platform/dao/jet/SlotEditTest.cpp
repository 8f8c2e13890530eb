// The writer's in-place slot edits against the plain model of a page (take
// its slots apart, change one, pack them again): the same bytes on every
// data page of the Access-made and Jackcess-made test files, whatever the
// slot, its flags or the new length.
#include "platform/dao/jet/DataPageLayout.h"

#include <gtest/gtest.h>

#include <QFile>

#include <vector>

using namespace dao::jet::detail;

namespace {

std::vector<Page> dataPages(const QString& path) {
    QFile file(path);
    std::vector<Page> pages;
    if (!file.open(QIODevice::ReadOnly))
        return pages;
    const QByteArray bytes = file.readAll();
    for (qsizetype at = 4096; at + 4096 <= bytes.size(); at += 4096)
        if (bytes[at] == 0x01)
            pages.emplace_back(bytes.begin() + at, bytes.begin() + at + 4096);
    return pages;
}

TEST(SlotEdit, SameBytesAsPackingTheSlotsAgain) {
    int compared = 0;
    for (const char* name : {"target-v2000.mdb", "overflow-rows-v2000.mdb", "sample-target-v2003.mdb"}) {
        for (const Page& original : dataPages(QStringLiteral(TOU_JET_DATA_DIR "/") + QLatin1String(name))) {
            const std::vector<Slot> kept = pageSlots(original);
            for (std::size_t i = 0; i < kept.size(); ++i) {
                for (const std::size_t length : {std::size_t{0}, kept[i].bytes.size() / 2, kept[i].bytes.size(),
                                                 kept[i].bytes.size() + 7}) {
                    const std::vector<std::uint8_t> bytes(length, static_cast<std::uint8_t>(0xA0 + i % 16));
                    const auto flags = static_cast<std::uint16_t>(kept[i].flags ^ 0x4000);
                    std::vector<Slot> changed = kept;
                    changed[i] = {flags, bytes};
                    Page expected = original, actual = original;
                    bool fits = true;
                    try {
                        repack(expected, changed);
                    } catch (const Damaged&) {
                        fits = false;
                    }
                    if (fits) {
                        replaceSlot(actual, i, bytes, flags);
                        EXPECT_EQ(actual, expected) << name << " slot " << i << " length " << length;
                        ++compared;
                    } else {
                        EXPECT_THROW(replaceSlot(actual, i, bytes, flags), Damaged);
                    }
                }
            }
            std::vector<Slot> grown = kept;
            grown.push_back({0x8000, std::vector<std::uint8_t>(40, 0x5A)});
            Page expected = original, actual = original;
            bool fits = true;
            try {
                repack(expected, grown);
            } catch (const Damaged&) {
                fits = false;
            }
            if (fits) {
                EXPECT_EQ(appendSlot(actual, grown.back().bytes, 0x8000), kept.size());
                EXPECT_EQ(actual, expected) << name << " appended";
                ++compared;
            } else {
                EXPECT_THROW(appendSlot(actual, grown.back().bytes, 0x8000), Damaged);
            }
        }
    }
    EXPECT_GT(compared, 1000);
}

} // namespace
