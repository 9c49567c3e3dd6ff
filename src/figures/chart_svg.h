// What the pictures of a table of catalysts share (volcano_svg.cc,
// map_svg.cc): the page's sizes, texts, the axes with their ticks and
// titles, the head above the plot and the notes under it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "figures/volcano_names.h"
#include "kinex/pictures.h"

namespace kinex::chart {

// The page, in user units (px): 340 wide is a paper's column of 3.4 in at
// 100 px per inch, so a 10 px text prints at about 7.5 pt.
inline constexpr double kWidth = 340.0;     // px wide unless asked
inline constexpr double kMinWidth = 300.0;  // px: narrower asked, the text shrinks instead
inline constexpr double kBodyPoints = 7.5;  // pt of kTickSize at 96 px to the inch
inline constexpr double kMargin = 10.0;
inline constexpr double kTitleSize = 13.0;  // bold
inline constexpr double kFiguresSize = 10.5;
inline constexpr double kAxisTitleSize = 11.0;
inline constexpr double kTickSize = 10.0;
inline constexpr double kKeySize = 10.0;  // the notes under the plot
inline constexpr double kKeyLine = 13.0;
inline constexpr double kTickLength = 4.0;
inline constexpr std::size_t kMaxName = 28;     // code points of a catalyst's or state's name shown
inline constexpr std::size_t kMaxKeyName = 60;  // in the key under the plot

// `words` with the hyphens that are the signs of numbers ("-6.96", "1e-05",
// and with `infinity` "-Inf") written as a true minus (U+2212); hyphens
// within words ("TS-RE") stay.
std::string with_minus(const std::string& words, bool infinity);

// The table's file name, without its folder.
std::string file_name(const std::string& path);

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them, within
// [lo, hi]; their texts with as many decimals as the step needs. None for
// an empty or non-finite range, or for 50 and more.
struct Ticks {
  std::vector<double> values;
  std::vector<std::string> texts;
};
Ticks nice_ticks(double lo, double hi, double count);

// The widest of the ticks' texts at `size`.
double widest(const Ticks& ticks, double size);

// A text of `size` with its baseline at (x, y), anchored at its "start",
// "middle" or "end", `extra` its further attributes; escaped.
void text(std::string& out, double x, double y, double size, const std::string& words,
          const char* anchor, const std::string& extra = "");

// The frame from its strip's top, the x ticks (as many as their texts
// leave room for, about one per `x_tick_room` px), the y ticks (about one
// per 32 px), and the axes' titles fitted to their sides; `bottom` gets the
// x title's baseline.
void write_axes(std::string& out, const volcano_figure::Frame& f, const std::string& x_title,
                const std::string& y_title, double x_tick_room, double& bottom);

// The title of the picture of the table `file`: the one asked, else
// `kind` (as "Map: ") and the file's name; fitted to `room` px. Empty with
// no_title.
std::string title_of(const VolcanoPicture& picture, const std::string& kind,
                     const std::string& file, double room);

// The lines under the plot, each wrapped to `room` px: the regions' key
// ("Regions: ..."), the catalysts not named after `unnamed_heading`, and
// the warnings ("Warning: ...", their signs as with_minus with `infinity`).
std::vector<std::string> note_lines(const std::vector<std::string>& key,
                                    const std::string& unnamed_heading,
                                    const std::vector<std::string>& unnamed,
                                    const std::vector<std::string>& warnings, double room,
                                    bool infinity);

// The lines one under the other from below `y`, each fitted to `room` px;
// returns the last baseline.
double write_notes(std::string& out, const std::vector<std::string>& lines, double room, double y);

// The document of a picture `width` x `height` px at `scale`: its head,
// the title (`untitled` in the document's own title without one) and the
// figures line (`up` px higher without a title) above `body`.
std::string document(double width, double height, double scale, const std::string& title,
                     const std::string& untitled, const std::string& description,
                     const std::string& figures, double up, const std::string& body);

// The picture drawn at the size `picture` asks: `draw(width, scale,
// plot_height, height)` draws it on a canvas `width` px wide at `scale`,
// its plot area `plot_height` px high (`plot_height_at_width` at the
// column's width, in proportion), and gives its height; drawn again with a
// taller plot when the picture is asked higher.
std::string sized_picture(
    const VolcanoPicture& picture, double plot_height_at_width,
    const std::function<std::string(double width, double scale, double plot_height,
                                    double& height)>& draw);

}  // namespace kinex::chart
