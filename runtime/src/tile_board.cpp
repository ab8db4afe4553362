#include "tile_board.h"

#include <algorithm>

namespace runtime_detail {

namespace {

constexpr std::uint64_t tagged(std::uint32_t serial, std::uint32_t count) {
  return std::uint64_t{serial} << 32 | count;
}
constexpr std::uint32_t serialOf(std::uint64_t value) {
  return static_cast<std::uint32_t>(value >> 32);
}
constexpr std::uint32_t countOf(std::uint64_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

TileShape shapeTiles(std::uint64_t blocks, std::uint32_t blocksPerLine, std::uint32_t columns,
                     std::uint32_t linesPerRow) {
  TileShape shape;
  shape.blocks = blocks;
  shape.blocksPerLine = blocksPerLine;
  shape.lines = static_cast<std::uint32_t>((blocks + blocksPerLine - 1) / blocksPerLine);
  shape.columns = std::clamp(columns, 1u, std::min(blocksPerLine, kMostTileColumns));
  const std::uint32_t fewestLines = (shape.lines + kMostTileRows - 1) / kMostTileRows;
  shape.linesPerRow = std::clamp(linesPerRow, std::max(fewestLines, 1u), std::max(shape.lines, 1u));
  shape.rows = (shape.lines + shape.linesPerRow - 1) / shape.linesPerRow;
  return shape;
}

void TileBoard::open(std::uint32_t serial, std::uint32_t columns, std::uint32_t rows) {
  for (std::uint32_t c = 0; c < columns; ++c) {
    columns_[c].finished.store(tagged(serial, 0), std::memory_order_relaxed);
    columns_[c].claimed.store(tagged(serial, 0), std::memory_order_relaxed);
  }
  shape_.store(tagged(serial, columns << 16 | rows), std::memory_order_release);
}

TileBoard::Look TileBoard::look(std::uint32_t serial, Columns wanted, Tile& tile,
                                std::uint64_t& claimedValue) const {
  const std::uint64_t shape = shape_.load(std::memory_order_acquire);
  if (serialOf(shape) != serial) return Look::NoneLeft;
  const std::uint32_t columns = countOf(shape) >> 16;
  const std::uint32_t rows = countOf(shape) & 0xffff;
  bool left = false;
  std::uint32_t bestRank = UINT32_MAX;
  std::uint32_t finishedToTheLeft = rows;  // the first column has nothing to its left
  const std::uint32_t end = std::min(wanted.end, columns);
  for (std::uint32_t c = wanted.first > 0 ? wanted.first - 1 : 0; c < end; ++c) {
    const std::uint64_t claimed = columns_[c].claimed.load(std::memory_order_acquire);
    const std::uint64_t finished = columns_[c].finished.load(std::memory_order_acquire);
    if (serialOf(claimed) != serial || serialOf(finished) != serial) return Look::NoneLeft;
    const std::uint32_t row = countOf(claimed);
    if (c >= wanted.first && row < rows) {
      left = true;
      const bool ready = countOf(finished) == row && finishedToTheLeft > row;
      if (ready && row + c < bestRank) {
        bestRank = row + c;
        tile = {c, row};
        claimedValue = claimed;
      }
    }
    finishedToTheLeft = countOf(finished);
  }
  if (bestRank != UINT32_MAX) return Look::Ready;
  return left ? Look::NotReady : Look::NoneLeft;
}

TileBoard::Look TileBoard::claim(std::uint32_t serial, Columns columns, Tile& tile) {
  for (;;) {
    std::uint64_t claimed = 0;
    const Look found = look(serial, columns, tile, claimed);
    if (found != Look::Ready) return found;
    if (columns_[tile.column].claimed.compare_exchange_strong(claimed, claimed + 1,
                                                              std::memory_order_acq_rel)) {
      return Look::Ready;
    }
  }
}

TileBoard::Columns TileBoard::shareOf(std::uint32_t serial, unsigned share,
                                      unsigned shares) const {
  const std::uint64_t shape = shape_.load(std::memory_order_acquire);
  if (serialOf(shape) != serial || shares == 0) return {0, 0};
  const std::uint32_t columns = countOf(shape) >> 16;
  return {columns * share / shares, columns * (share + 1) / shares};
}

bool TileBoard::readyOrNoneLeft(std::uint32_t serial, Columns columns) const {
  Tile tile;
  std::uint64_t claimed = 0;
  return look(serial, columns, tile, claimed) != Look::NotReady;
}

void TileBoard::finish(std::uint32_t serial, Tile tile) {
  columns_[tile.column].finished.store(tagged(serial, tile.row + 1), std::memory_order_release);
}

bool TileBoard::allFinished(std::uint32_t serial) const {
  const std::uint64_t shape = shape_.load(std::memory_order_acquire);
  if (serialOf(shape) != serial) return true;
  const std::uint32_t columns = countOf(shape) >> 16;
  const std::uint32_t rows = countOf(shape) & 0xffff;
  for (std::uint32_t c = 0; c < columns; ++c) {
    if (columns_[c].finished.load(std::memory_order_acquire) != tagged(serial, rows)) return false;
  }
  return true;
}

}  // namespace runtime_detail
