// The parser's per-thread block cache: reuse between documents, and a cap on what it keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <thread>
#include <vector>

#include "lumo/metadata_arena.h"
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

constexpr std::size_t kPoolBlock = 64 * 1024 + 32;

TEST(ArenaTest, KeepsNoMoreThanItsLimit) {
    std::vector<void*> blocks;
    for (std::size_t kept = 0; kept < 3 * Metadata::kArenaKeepLimit; kept += kPoolBlock)
        blocks.push_back(Metadata::arenaAllocate(kPoolBlock));
    for (void* block : blocks)
        Metadata::arenaRelease(block);
    EXPECT_GT(Metadata::arenaKeptBytes(), Metadata::kArenaKeepLimit - kPoolBlock);
    EXPECT_LE(Metadata::arenaKeptBytes(), Metadata::kArenaKeepLimit);
}

TEST(ArenaTest, LargeDocumentsReuseTheBlocksOfTheLastOne) {
    std::string objects;
    for (int i = 0; i < 300; ++i)
        objects += object(i,
                          "<tt:Shape><tt:BoundingBox left=\"1\" top=\"2\" right=\"3\" "
                          "bottom=\"4\"/></tt:Shape><tt:Class><tt:Type>Human</tt:Type>"
                          "</tt:Class>");
    const std::string text = document(frame(objects));
    ASSERT_TRUE(parseText(text));
    const std::size_t kept = Metadata::arenaKeptBytes();
    EXPECT_GT(kept, 0u);
    ASSERT_TRUE(parseText(text));
    EXPECT_EQ(Metadata::arenaKeptBytes(), kept);
}

TEST(ArenaTest, EachThreadKeepsItsOwnBlocks) {
    Metadata::arenaRelease(Metadata::arenaAllocate(kPoolBlock));
    ASSERT_GT(Metadata::arenaKeptBytes(), 0u);
    std::size_t keptByOther = 1;
    std::thread([&] { keptByOther = Metadata::arenaKeptBytes(); }).join();
    EXPECT_EQ(keptByOther, 0u);
}

}  // namespace
}  // namespace lumo_test
