// The pictures as PDF and PNG, read back: a page of the picture's size with
// its font embedded, a PNG of its size at the resolution asked for; the file
// name choosing the format, written whole or not at all, never over an
// input.
#include "render/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/cycle_files.h"
#include "figures/plot.h"
#include "figures/volcano_svg.h"
#include "input/table.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

using cycle_files::kinex_run;
using test::read_file;

// The width and height in px that the <svg> element of `svg` gives.
std::pair<double, double> svg_size(const std::string& svg) {
  const auto attribute = [&](const std::string& name) {
    const std::size_t at = svg.find(" " + name + "=\"", svg.find("<svg"));
    return std::stod(svg.substr(at + name.size() + 3));
  };
  return {attribute("width"), attribute("height")};
}

// The four numbers of the PDF's /MediaBox [x0 y0 x1 y1].
std::vector<double> media_box(const std::string& pdf) {
  std::size_t at = pdf.find("/MediaBox");
  std::vector<double> out;
  if (at == std::string::npos) return out;
  at = pdf.find('[', at) + 1;
  for (int k = 0; k < 4; ++k) {
    std::size_t used = 0;
    out.push_back(std::stod(pdf.substr(at), &used));
    at += used;
  }
  return out;
}

// A big-endian 32-bit number at `at`.
uint32_t be32(const std::string& bytes, std::size_t at) {
  uint32_t x = 0;
  for (std::size_t k = 0; k < 4; ++k) x = (x << 8) | static_cast<unsigned char>(bytes[at + k]);
  return x;
}

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

// The width and height of a PNG, from its IHDR chunk; {0, 0} if it is none.
std::pair<uint32_t, uint32_t> png_size(const std::string& png) {
  if (png.size() < 24 || png.compare(0, 8, kPngSignature) != 0 || png.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  return {be32(png, 16), be32(png, 20)};
}

Volcano example_volcano() {
  std::vector<TableRow> rows;
  std::string error;
  Volcano volcano;
  VolcanoOptions options;
  options.samples = 50;
  EXPECT_TRUE(read_table(KINEX_EXAMPLES "/volcano.csv", 298.15, rows, error) &&
              build_volcano(rows, options, volcano, error))
      << error;
  return volcano;
}

// Each kind of figure, at the default size and narrow.
std::vector<std::pair<std::string, std::string>> figures() {
  const Run three = cycle_files::evaluated_text(read_file(KINEX_EXAMPLES "/three_step.txt"));
  const Run five = cycle_files::evaluated_text(read_file(KINEX_EXAMPLES "/five_step.txt"));
  PlotOptions narrow;
  narrow.width = 340;
  PlotOptions sigma;
  sigma.sigmas.assign(static_cast<std::size_t>(2 * three.cycle.n + 1), 1.0);
  sigma.sigma_samples = 200;
  const Volcano volcano = example_volcano();
  PlotOptions column;
  column.width = kColumnInches * kPxPerInch;
  column.font_size = kColumnFontSize;
  VolcanoPicture page;
  page.width = kPageInches * kPxPerInch;
  page.font_size = kPageFontSize;
  return {{"profile", render_profile_svg(three, "three_step.txt")},
          {"column profile", render_profile_svg(five, "five_step.txt", column)},
          {"column overlay", render_profiles_svg({&three, &five}, column)},
          {"page volcano", volcano_svg("volcano.csv", volcano, page)},
          {"narrow profile", render_profile_svg(three, "three_step.txt", narrow)},
          {"overlay", render_profiles_svg({&three, &five}, {})},
          {"sigma profile", render_profile_svg(three, "three_step.txt", sigma)},
          {"volcano", volcano_svg("volcano.csv", volcano, {})},
          {"span volcano", volcano_svg("volcano.csv", volcano, {VolcanoCurve::energetic_span})}};
}

TEST(Render, EveryFigureIsAPageOfItsSizeAndAPngAtTheResolutionAsked) {
  for (const auto& [name, svg] : figures()) {
    SCOPED_TRACE(name);
    const auto [width, height] = svg_size(svg);
    std::string pdf, error;
    ASSERT_TRUE(render_picture(svg, PictureFormat::pdf, kPictureDpi, pdf, error)) << error;
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    const std::vector<double> box = media_box(pdf);
    ASSERT_EQ(box.size(), 4u);
    EXPECT_NEAR(box[2] - box[0], width * 0.75, 0.01);
    EXPECT_NEAR(box[3] - box[1], height * 0.75, 0.01);
    // The font embedded, by its name: a subset, as a TrueType or CFF file.
    EXPECT_TRUE(pdf.find("/FontFile2") != std::string::npos ||
                pdf.find("/FontFile3") != std::string::npos);
    EXPECT_NE(pdf.find("+DejaVuSans"), std::string::npos);
    for (double dpi : {kPictureDpi, 72.0, 150.5}) {
      std::string png;
      ASSERT_TRUE(render_picture(svg, PictureFormat::png, dpi, png, error)) << error;
      EXPECT_EQ(png_size(png), std::make_pair(static_cast<uint32_t>(std::ceil(width * dpi / 96)),
                                              static_cast<uint32_t>(std::ceil(height * dpi / 96))))
          << dpi << " dpi";
    }
    std::string same;
    ASSERT_TRUE(render_picture(svg, PictureFormat::svg, kPictureDpi, same, error));
    EXPECT_EQ(same, svg);
  }
}

// A paper size is a page of that size, in points, its text at the size
// named; anything else is refused.
TEST(Render, PaperSizesGiveThePagesTheyName) {
  const kinex::Run three = cycle_files::evaluated_text(read_file(KINEX_EXAMPLES "/three_step.txt"));
  const struct {
    const char* text;
    double width_pt, height_pt, font_pt;  // width 0: refused
  } cases[] = {
      {"column", 237.6, 0, 8}, {"page", 504, 0, 9},
      {"3.3in", 237.6, 0, 8},  {"85x60mm", 240.94, 170.08, 8},
      {"180mm", 510.24, 0, 9}, {"2x9in", 144, 648, 8},
      {"", 0, 0, 0},           {"3.3", 0, 0, 0},
      {"x3in", 0, 0, 0},       {"0in", 0, 0, 0},
      {"-3in", 0, 0, 0},       {"3x0mm", 0, 0, 0},
      {"1e9in", 0, 0, 0},      {"nanin", 0, 0, 0},
      {"3.3cm", 0, 0, 0},      {"Column", 0, 0, 0},
      {"3x4x5in", 0, 0, 0},    {"3.3 in", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    PaperSize size;
    std::string error;
    ASSERT_EQ(parse_paper_size(c.text, size, error), c.width_pt > 0) << error;
    if (c.width_pt == 0) {
      EXPECT_NE(error.find("--size"), std::string::npos) << error;
      continue;
    }
    EXPECT_DOUBLE_EQ(size.font_size, c.font_pt);
    PlotOptions options;
    options.width = size.width;
    options.height = size.height;
    options.font_size = size.font_size;
    std::string pdf;
    ASSERT_TRUE(render_picture(render_profile_svg(three, "three_step.txt", options),
                               PictureFormat::pdf, kPictureDpi, pdf, error))
        << error;
    const std::vector<double> box = media_box(pdf);
    ASSERT_EQ(box.size(), 4u);
    EXPECT_NEAR(box[2] - box[0], c.width_pt, 0.01);
    EXPECT_GE(box[3] - box[1], c.height_pt - 0.01);  // at least as high as asked
  }
}

// With SOURCE_DATE_EPOCH set, a PDF's bytes depend on the picture alone.
TEST(Render, ThePdfDateIsTheSourceDateWhenOneIsSet) {
  const std::string svg = figures().front().second;
  ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "1700000000", 1), 0);
  std::string first, second, error;
  ASSERT_TRUE(render_picture(svg, PictureFormat::pdf, kPictureDpi, first, error)) << error;
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_TRUE(render_picture(svg, PictureFormat::pdf, kPictureDpi, second, error)) << error;
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(first, second);
  EXPECT_NE(first.find("20231114221320"), std::string::npos);
}

TEST(Render, WhatCannotBeRenderedIsRefusedWithItsReason) {
  const std::string square =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"/>";
  const std::string huge =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20000\" height=\"100\"/>";
  const struct {
    const char* name;
    std::string svg;
    PictureFormat format;
    double dpi;
    const char* words;
  } cases[] = {
      {"not XML", "<svg", PictureFormat::pdf, kPictureDpi, "cannot be read as SVG"},
      {"no size", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"0\" height=\"10\"/>",
       PictureFormat::pdf, kPictureDpi, "no width and height"},
      {"too coarse", square, PictureFormat::png, 5, "give 10 to 2400 dots per inch"},
      {"not a number", square, PictureFormat::png, std::nan(""), "dots per inch"},
      {"too large", huge, PictureFormat::png, 2400, "too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "old", error;
    EXPECT_FALSE(render_picture(c.svg, c.format, c.dpi, bytes, error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(error.find(c.words), std::string::npos) << error;
  }
  std::string bytes, error;
  EXPECT_TRUE(render_picture(huge, PictureFormat::pdf, 2400, bytes, error)) << error;
}

// kinex plot and kinex volcano write what -o names, whole or not at all.
TEST(Render, KinexWritesThePictureInTheFormatItsNameSays) {
  test::ScratchDir dir;
  const std::string cycle = dir.write("cycle.txt", read_file(KINEX_EXAMPLES "/three_step.txt"));
  const std::string table = dir.write("table.csv", read_file(KINEX_EXAMPLES "/volcano.csv"));
  std::filesystem::create_symlink(cycle, dir.file("cycle.pdf"));  // the input under another name
  std::filesystem::create_directory(dir.file("taken.png"));       // cannot be replaced
  const struct {
    std::vector<std::string> args;
    std::string written;  // the file and what it starts with, or the refusal's words
    std::string start;
  } cases[] = {
      {{"plot", cycle, "-o", dir.file("a.svg")}, "a.svg", "<?xml"},
      {{"plot", cycle, "-o", dir.file("b.PDF")}, "b.PDF", "%PDF-"},
      {{"plot", cycle, "-o", dir.file("c.png"), "--dpi", "72"},
       "c.png",
       std::string(kPngSignature)},
      {{"volcano", table, "--samples", "20", "-o", dir.file("d.pdf")}, "d.pdf", "%PDF-"},
      {{"volcano", table, "--samples", "20", "-o", dir.file("e.png")},
       "e.png",
       std::string(kPngSignature)},
      {{"plot", cycle, "-o", dir.file("f.eps")}, "", ".svg, .pdf or .png"},
      {{"volcano", table, "-o", dir.file("g.jpg")}, "", ".svg, .pdf or .png"},
      {{"plot", cycle, "-o", dir.file("h.svg"), "--dpi", "600"}, "", "give -o NAME.png"},
      {{"volcano", table, "--dpi", "600"}, "", "give -o NAME.png"},
      {{"plot", cycle, "-o", dir.file("cycle.pdf")}, "", "is the input file"},
      {{"plot", cycle, "-o", dir.file("taken.png")}, "", "taken.png"},
      {{"volcano", table, "-o", dir.file("no/such/folder.pdf")}, "", "folder.pdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " -o " + c.args[c.args.size() - 1]);
    const test::Outcome o = kinex_run(c.args);
    if (c.written.empty()) {
      EXPECT_EQ(o.status, kExitFailed);
      EXPECT_NE(o.err.find(c.start), std::string::npos) << o.err;
    } else {
      EXPECT_EQ(o.status, kExitOk) << o.err;
      EXPECT_EQ(read_file(dir.file(c.written)).rfind(c.start, 0), 0u);
    }
  }
  // The input untouched, the folder kept, nothing else left behind.
  EXPECT_EQ(read_file(cycle), read_file(KINEX_EXAMPLES "/three_step.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.png")));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.svg", "b.PDF", "c.png", "cycle.pdf", "cycle.txt",
                                             "d.pdf", "e.png", "table.csv", "taken.png"}));
}

}  // namespace
}  // namespace kinex
