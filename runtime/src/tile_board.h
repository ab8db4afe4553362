// Which blocks of a launch with neighbour lines may run side by side. The launch's lines of
// blocks are cut into rows of whole lines and each line into columns of consecutive blocks; a
// tile is the blocks of one row in one column, run line by line, left to right. A tile starts
// once the tile above it (its column, the row before) and the tile to its left (its row, the
// column before) have finished. So every block starts after the block before it in its line and
// the block at its place in the line before have finished, and before the block after it in its
// line and the block at its place in the line after have started: what a neighbour-line thread
// reads of other blocks, it reads as the reference order leaves it. Which thread runs a tile
// does not matter, so any thread that is free takes the next ready tile.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "fast_forms.h"

namespace runtime_detail {

struct TileShape {
  std::uint64_t blocks = 0;
  std::uint32_t blocksPerLine = 0;
  std::uint32_t lines = 0;
  std::uint32_t columns = 0;
  std::uint32_t rows = 0;
  std::uint32_t linesPerRow = 0;
};

inline constexpr std::uint32_t kMostTileColumns = 64;
inline constexpr std::uint32_t kMostTileRows = 0xffff;

// The shape with `columns` columns (at most the blocks of a line and kMostTileColumns) and
// rows of `linesPerRow` lines.
TileShape shapeTiles(std::uint64_t blocks, std::uint32_t blocksPerLine, std::uint32_t columns,
                     std::uint32_t linesPerRow);

struct Tile {
  std::uint32_t column = 0;
  std::uint32_t row = 0;
};

// The flat numbers of the blocks of `tile`, in the order they run, for `visit`.
template <class Visit>
void forEachBlockOf(const TileShape& shape, Tile tile, Visit visit) {
  const std::uint32_t firstLine = tile.row * shape.linesPerRow;
  const std::uint32_t endLine =
      firstLine + shape.linesPerRow < shape.lines ? firstLine + shape.linesPerRow : shape.lines;
  const std::uint64_t firstBlock =
      std::uint64_t{shape.blocksPerLine} * tile.column / shape.columns;
  const std::uint64_t endBlock =
      std::uint64_t{shape.blocksPerLine} * (tile.column + 1) / shape.columns;
  for (std::uint64_t line = firstLine; line < endLine; ++line) {
    const std::uint64_t start = line * shape.blocksPerLine;
    for (std::uint64_t b = start + firstBlock; b < start + endBlock && b < shape.blocks; ++b) {
      visit(b);
    }
  }
}

// The blocks of `tile` as a rectangle, for a fast form.
inline runtime_fast::BlockRect rectOf(const TileShape& shape, Tile tile) {
  const std::uint32_t firstLine = tile.row * shape.linesPerRow;
  const std::uint32_t endLine =
      firstLine + shape.linesPerRow < shape.lines ? firstLine + shape.linesPerRow : shape.lines;
  return {firstLine, endLine,
          static_cast<std::uint32_t>(std::uint64_t{shape.blocksPerLine} * tile.column /
                                     shape.columns),
          static_cast<std::uint32_t>(std::uint64_t{shape.blocksPerLine} * (tile.column + 1) /
                                     shape.columns),
          shape.blocksPerLine};
}

// The claims on the tiles of the launch being run, shared by the threads that run it. Every
// count carries the serial number of its launch, so that a thread still looking at a launch
// that has ended can claim nothing of the next.
class TileBoard {
 public:
  enum class Look { Ready, NotReady, NoneLeft };

  // Makes every tile of launch `serial` unclaimed. Only while no tile of another launch runs.
  void open(std::uint32_t serial, std::uint32_t columns, std::uint32_t rows);
  // The columns a thread looks at: [first, end), clipped to the launch's.
  struct Columns {
    std::uint32_t first = 0;
    std::uint32_t end = kMostTileColumns;
  };
  // Claims a ready tile of launch `serial` among `columns`, the one nearest the top left corner
  // (it has the most tiles waiting behind it). NotReady: tiles are left there, none can start
  // yet; NoneLeft: every tile there is claimed, or `serial` is no longer the launch on the board.
  Look claim(std::uint32_t serial, Columns columns, Tile& tile);
  // The columns of share `share` of `shares` in launch `serial`: consecutive columns, so that a
  // thread that keeps to its share finds its part of the fields in its own caches launch after
  // launch. Empty if `serial` is no longer the launch on the board.
  Columns shareOf(std::uint32_t serial, unsigned share, unsigned shares) const;
  // Whether a tile of launch `serial` among `columns` is ready or none is left, without claiming.
  bool readyOrNoneLeft(std::uint32_t serial, Columns columns) const;
  // Releases what the tile wrote to the threads that start the tiles after it.
  void finish(std::uint32_t serial, Tile tile);
  bool allFinished(std::uint32_t serial) const;

 private:
  Look look(std::uint32_t serial, Columns columns, Tile& tile,
            std::uint64_t& claimedValue) const;

  struct alignas(64) Column {
    std::atomic<std::uint64_t> claimed{0};   // serial << 32 | rows claimed
    std::atomic<std::uint64_t> finished{0};  // serial << 32 | rows finished
  };
  std::atomic<std::uint64_t> shape_{0};  // serial << 32 | columns << 16 | rows
  std::array<Column, kMostTileColumns> columns_{};
};

}  // namespace runtime_detail
