// kinex map: a table of catalysts over two descriptors, or one and the
// temperature, as text, JSON, CSV or a picture.
#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "figures/map_svg.h"
#include "input/table.h"
#include "map/map.h"
#include "outputs/json_output.h"
#include "platform/files.h"
#include "text/shown_name.h"

namespace kinex {
namespace {

constexpr const char* kMapFooter =
    "Fits every state's Gibbs energy in a table of catalysts as a plane of two\n"
    "descriptors (or a line of one, the temperature being the second axis) and\n"
    "evaluates the cycle of the fitted energies over a grid: log10 TOF or the\n"
    "energetic span, TDI, TDTS and the catalysts. -o OUT draws the map too, in\n"
    "the format of OUT's extension: .svg, .pdf or .png (300 dpi unless --dpi says).\n"
    "Examples:\n"
    "  kinex map map.csv --x 'Descriptor dG(OA)' --y 'Descriptor dG(RE)'\n"
    "  kinex map map.csv --x 'Descriptor dG(OA)' --y T=250:450 --csv\n"
    "  kinex map map.csv --x 'Descriptor dG(OA)' --y 'Descriptor dG(RE)' -o map.svg";

// "FROM:TO", both finite numbers, into `from` and `to`.
bool parse_pair(const std::string& text, char between, double& from, double& to) {
  const std::size_t at = text.find(between);
  const auto number = [](const std::string& part, double& x) {
    const char* end = part.data() + part.size();
    const auto [stop, ec] = std::from_chars(part.data(), end, x);
    return ec == std::errc() && stop == end && std::isfinite(x);
  };
  return at != std::string::npos && number(text.substr(0, at), from) &&
         number(text.substr(at + 1), to);
}

// "NX,NY", whole numbers, into `nx` and `ny`.
bool parse_points(const std::string& text, int64_t& nx, int64_t& ny) {
  const std::size_t at = text.find(',');
  const auto whole = [](const std::string& part, int64_t& n) {
    const char* end = part.data() + part.size();
    const auto [stop, ec] = std::from_chars(part.data(), end, n);
    return ec == std::errc() && stop == end && !part.empty();
  };
  return at != std::string::npos && whole(text.substr(0, at), nx) && whole(text.substr(at + 1), ny);
}

// What kinex map writes besides the map's options: what kinex volcano
// writes besides its curve's.
using MapOutput = VolcanoOutput;

// The whole subcommand over one table.
int command_map(const std::string& file, const MapOptions& options, const MapOutput& output,
                Output& out, std::string& err, const TableOptions& tables) {
  const bool json = output.json, csv = output.csv;
  PictureFormat format = PictureFormat::svg;
  if (!table_and_picture_ok("kinex map", "a map", file, output.file, format, err))
    return kExitFailed;
  const bool to_file = !output.file.empty() && output.file != "-";
  std::vector<TableRow> rows;
  std::string error;
  Map map;
  if (!read_table(file, tables.default_T, rows, error) ||
      !features::build_map(rows, options, map, error)) {
    err += table_error("kinex map", file, error);
    return kExitFailed;
  }
  if (to_file &&
      !write_picture(output.file, format, output.dpi, map_svg(file, map, output.picture), err))
    return kExitFailed;
  if (output.file == "-") {
    out.text += map_svg(file, map, output.picture);
  } else if (json) {
    write_json(map_json(file, map), out.text);
  } else if (csv) {
    CsvNames guard(output.for_spreadsheet);
    out.text += map_csv(map, guard);
    err += guard.take_warnings();
  } else {
    out.text += map_text(file, map);
  }
  for (const std::string& warning : map.warnings) {
    if (json || csv || output.file == "-") err += "kinex map: warning: " + warning + "\n";
  }
  return out.deliver() ? kExitOk : kExitFailed;
}

class MapSubcommand : public Subcommand {
 public:
  explicit MapSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "map", "log10 TOF, TDI and TDTS of a table of catalysts over two descriptors")) {
    app_->add_option("TABLE", file_, "A table of catalysts (.csv, .tsv)")->required();
    app_->add_option("--x", options_.x, "The first axis: a Descriptor column by its header")
        ->type_name("DESCRIPTOR")
        ->required();
    app_->add_option("--y", y_,
                     "The second axis: another Descriptor column, or the temperature from FROM "
                     "to TO K")
        ->type_name("DESCRIPTOR2|T=FROM:TO")
        ->required();
    app_->add_option("--points", points_, "Grid points along x and y (default 60,60)")
        ->type_name("NX,NY");
    app_->add_option("--x-range", x_range_, "The range of x (default the rows' and 10 % more)")
        ->type_name("FROM:TO");
    app_->add_option("--y-range", y_range_, "The range of the second descriptor")
        ->type_name("FROM:TO");
    app_->add_option("--quantity", quantity_, "What the map shows (default log10_tof)")
        ->type_name("log10_tof|energetic_span");
    app_->add_option("--threads", options_.threads,
                     "Threads (default 0: one per core; the map is the same on any)")
        ->type_name("N")
        ->check(whole_number(0, 1024));
    CLI::Option* as_json = app_->add_flag(kJsonFlag, output_.json, "JSON instead of the text");
    app_->add_flag(kSpreadsheetFlag, output_.for_spreadsheet, kSpreadsheetHelp);
    app_->add_flag("--csv", output_.csv, "CSV of the grid, a row per point")->excludes(as_json);
    app_->add_option("-o,--output", output_.file,
                     "Draw the map into OUT (.svg, .pdf, .png) too; -: the SVG picture instead "
                     "of the text")
        ->type_name("OUT");
    dpi_ = add_dpi_option(*app_, output_.dpi);
    title_ = app_->add_option("--title", output_.picture.title,
                              "With -o: the title instead of 'Map: ' and the table's name")
                 ->type_name("TEXT");
    no_title_ = app_->add_flag("--no-title", output_.picture.no_title, "With -o: no title");
    xlabel_ = app_->add_option("--xlabel", output_.picture.xlabel,
                               "With -o: the x axis's title (default 'DESCRIPTOR (kcal/mol)')")
                  ->type_name("TEXT");
    ylabel_ = app_->add_option("--ylabel", output_.picture.ylabel,
                               "With -o: the y axis's title (default its name and unit)")
                  ->type_name("TEXT");
    size_ = add_size_options(*app_, size_text_, output_.picture.font_size,
                             "With -o: the size of the text in pt (default 7.5, or the --size's)");
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    app_->footer(with_reference(kMapFooter));
  }

  int run(const Call& call) override {
    std::string& err = call.err;
    const std::string& file = output_.file;
    output_.picture.has_title = title_->count() > 0;
    if (!picture_command_ok("kinex map", tables_, dpi_, file, "",
                            {title_, no_title_, xlabel_, ylabel_, size_}, size_text_,
                            output_.picture, err) ||
        !standard_output_ok("kinex map", file, output_.json, output_.csv, err))
      return kExitFailed;
    if (y_.rfind("T=", 0) == 0) {
      if (!parse_pair(y_.substr(2), ':', options_.T_from, options_.T_to)) {
        err += "kinex map: --y " + text::shown_name(y_) +
               ": T=FROM:TO, the temperatures in K (--y T=250:450)\n";
        return kExitFailed;
      }
    } else {
      options_.y = y_;
    }
    if (!quantity_.empty() && !quantity_named(quantity_, options_.quantity)) {
      err += "kinex map: --quantity " + text::shown_name(quantity_) +
             ": log10_tof (log10 TOF) or energetic_span (the energetic span)\n";
      return kExitFailed;
    }
    if (!points_.empty() && !parse_points(points_, options_.nx, options_.ny)) {
      err += "kinex map: --points " + text::shown_name(points_) +
             ": NX,NY, two whole numbers (--points 60,60)\n";
      return kExitFailed;
    }
    for (const auto& [text, has, from, to, name] :
         {std::tuple{&x_range_, &options_.has_x_range, &options_.x_from, &options_.x_to,
                     "--x-range"},
          std::tuple{&y_range_, &options_.has_y_range, &options_.y_from, &options_.y_to,
                     "--y-range"}}) {
      if (text->empty()) continue;
      *has = true;
      if (!parse_pair(*text, ':', *from, *to)) {
        err += std::string("kinex map: ") + name + " " + text::shown_name(*text) +
               ": FROM:TO, two numbers (" + name + "=-1:2)\n";
        return kExitFailed;
      }
    }
    options_.boundaries = !file.empty();  // only the picture draws them
    return command_map(file_, options_, output_, call.out, err, tables_);
  }

 private:
  std::string file_, y_, points_, x_range_, y_range_, size_text_, quantity_;
  const CLI::Option *title_ = nullptr, *no_title_ = nullptr, *xlabel_ = nullptr, *ylabel_ = nullptr,
                    *size_ = nullptr, *dpi_ = nullptr;
  MapOptions options_;
  MapOutput output_;
  TableOptions tables_;
};

}  // namespace

std::unique_ptr<Subcommand> map_subcommand(CLI::App& app) {
  return std::make_unique<MapSubcommand>(app);
}

}  // namespace kinex
