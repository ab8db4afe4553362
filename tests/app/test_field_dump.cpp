#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "dump_format.h"
#include "field_dump.h"
#include "fresh_fluid.h"

namespace {

using FieldDump = FreshFluid;

std::string capture(void (*print)(std::FILE*)) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  print(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(PrintField, PrintsTheTopRowFirstColumnsLeftToRight) {
  // A 4 x 4 field (n = 2) holding 10 * row + column.
  static float field[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) field[i + 4 * j] = static_cast<float>(10 * i + j) + 0.25f;
  const std::string text = capture([](std::FILE* out) { print_field(2, field, out); });
  EXPECT_EQ(text,
            "30.250000 31.250000 32.250000 33.250000 \n"
            "20.250000 21.250000 22.250000 23.250000 \n"
            "10.250000 11.250000 12.250000 13.250000 \n"
            "0.250000 1.250000 2.250000 3.250000 \n");
}

// Splits the dump at its headers and checks each block is 128 rows of 128 "%f " values.
TEST_F(FieldDump, HoldsThreeFieldsOf128RowsUnderExactHeadersThenTheTotal) {
  fluid.dens[IX(127, 0)] = -1.5f;
  fluid.v[IX(0, 127)] = 2.0f;
  fluid.total_density = 12.5f;
  const std::string text = capture([](std::FILE* out) { print_dump(out); });

  const std::string headers[] = {"\n\nDensity Field\n", "\n\nu Field\n", "\n\nv Field\n",
                                 "\n\nTotal Density: "};
  std::size_t pos = 0;
  std::string blocks[3];
  for (int k = 0; k < 4; ++k) {
    ASSERT_EQ(text.compare(pos, headers[k].size(), headers[k]), 0) << "header " << k;
    pos += headers[k].size();
    if (k == 3) break;
    const std::size_t end = text.find(headers[k + 1], pos);
    ASSERT_NE(end, std::string::npos);
    blocks[k] = text.substr(pos, end - pos);
    pos = end;
  }
  EXPECT_EQ(text.substr(pos), "12.500000\n");

  for (const auto& block : blocks) {
    std::istringstream rows(block);
    std::string row;
    int count = 0;
    while (std::getline(rows, row)) {
      ++count;
      ASSERT_TRUE(is_dump_row(row)) << "row " << count << ": " << row;
    }
    EXPECT_EQ(count, 128);
  }
  EXPECT_EQ(blocks[0].rfind("-1.500000 ", 0), 0u) << "top-left is cell (N+1, 0)";
  EXPECT_TRUE(blocks[2].ends_with("2.000000 \n")) << "bottom-right is cell (0, N+1)";
}

}  // namespace
