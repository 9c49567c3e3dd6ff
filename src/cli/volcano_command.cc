// kinex volcano: a table of catalysts along one descriptor, as text, JSON,
// CSV or a picture.
#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "figures/volcano_svg.h"
#include "input/table.h"
#include "outputs/csv_output.h"
#include "outputs/json_output.h"
#include "platform/files.h"
#include "text/shown_name.h"
#include "volcano/volcano.h"

namespace kinex {
namespace {

constexpr const char* kVolcanoFooter =
    "Fits every state's Gibbs energy in a table of catalysts as a line of one\n"
    "descriptor and evaluates the cycle of the fitted energies along it: log10\n"
    "TOF, the spans, the most endergonic step, TDI and TDTS with their regions,\n"
    "a 95 % band, and the catalysts themselves with their outliers. -o OUT draws\n"
    "the volcano too, OUT's extension choosing the format: .svg, .pdf (vector,\n"
    "its fonts embedded) or .png (300 dpi unless --dpi says).\n"
    "Examples:\n"
    "  kinex volcano screening.csv --descriptor 'Descriptor G(O)'\n"
    "  kinex volcano screening.csv -o volcano.svg --curve span\n"
    "  kinex volcano screening.csv -o volcano.svg --title 'Ni and Pd' --xlabel 'G(O) (kcal/mol)'";

// "FROM:TO" with FROM below TO, both finite, into `options`.
bool parse_range(const std::string& text, VolcanoOptions& options) {
  const std::size_t colon = text.find(':');
  const auto number = [](const std::string& part, double& x) {
    const char* end = part.data() + part.size();
    const auto [at, ec] = std::from_chars(part.data(), end, x);
    return ec == std::errc() && at == end && std::isfinite(x);
  };
  options.has_range = colon != std::string::npos && number(text.substr(0, colon), options.from) &&
                      number(text.substr(colon + 1), options.to) && options.from < options.to;
  return options.has_range;
}

class VolcanoSubcommand : public Subcommand {
 public:
  explicit VolcanoSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand(
            "volcano", "TOF, spans, TDI and TDTS of a table of catalysts along one descriptor")) {
    app_->add_option("TABLE", file_, "A table of catalysts (.csv, .tsv)")->required();
    app_->add_option("--descriptor", options_.descriptor,
                     "A Descriptor or state column by its header, or auto")
        ->type_name("COLUMN|auto");
    app_->add_option("--range", range_, "The descriptor's range (--range=-1:2)")
        ->type_name("FROM:TO");
    app_->add_option("--points", options_.points, "Points of the curve (default 200)")
        ->check(whole_number(2, 100000))
        ->type_name("N");
    app_->add_option("--samples", options_.samples,
                     "Draws of the lines for the 95 % band (default 1000, 0: none)")
        ->check(whole_number(0, 100000))
        ->type_name("N");
    app_->add_option("--seed", options_.seed, "The seed of the band (default 0)")
        ->check(kSeedValue)
        ->type_name("K");
    app_->add_option("--threads", options_.threads,
                     "Threads for the band (default 0: one per core; the band is the same on any)")
        ->type_name("N")
        ->check(whole_number(0, 1024));
    CLI::Option* as_json = app_->add_flag(kJsonFlag, output_.json, "JSON instead of the text");
    app_->add_flag(kSpreadsheetFlag, output_.for_spreadsheet, kSpreadsheetHelp);
    app_->add_flag("--csv", output_.csv, "CSV of the curve, a row per point")->excludes(as_json);
    app_->add_option("-o,--output", output_.file,
                     "Draw the volcano into OUT (.svg, .pdf, .png) too; -: the SVG picture "
                     "instead of the text")
        ->type_name("OUT");
    dpi_ = add_dpi_option(*app_, output_.dpi);
    app_->add_option("--curve", curve_,
                     "With -o: log10 TOF, energetic span or most endergonic step (default tof)")
        ->type_name("tof|span|step");
    title_ = app_->add_option("--title", output_.picture.title,
                              "With -o: the title instead of 'Volcano: ' and the table's name")
                 ->type_name("TEXT");
    no_title_ = app_->add_flag("--no-title", output_.picture.no_title, "With -o: no title");
    xlabel_ = app_->add_option("--xlabel", output_.picture.xlabel,
                               "With -o: the descriptor axis's title (default 'DESCRIPTOR "
                               "(kcal/mol)')")
                  ->type_name("TEXT");
    ylabel_ = app_->add_option("--ylabel", output_.picture.ylabel,
                               "With -o: the curve's axis title (default its name and unit)")
                  ->type_name("TEXT");
    size_ = add_size_options(*app_, size_text_, output_.picture.font_size,
                             "With -o: the size of the text in pt; all text scales with it "
                             "(default 7.5, or the --size's)");
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    app_->footer(with_reference(kVolcanoFooter));
  }

  int run(const Call& call) override {
    std::string& err = call.err;
    const std::string& file = output_.file;
    output_.picture.has_title = title_->count() > 0;
    if (!picture_command_ok(
            "kinex volcano", tables_, dpi_, file,
            curve_.empty() ? ""
                           : "--curve chooses the curve of the picture; give -o OUT.svg with it",
            {title_, no_title_, xlabel_, ylabel_, size_}, size_text_, output_.picture, err))
      return kExitFailed;
    if (curve_ == "span") {
      output_.picture.curve = VolcanoCurve::energetic_span;
    } else if (curve_ == "step") {
      output_.picture.curve = VolcanoCurve::endergonic_step;
    } else if (!curve_.empty() && curve_ != "tof") {
      err += "kinex volcano: --curve " + text::shown_name(curve_) +
             ": tof (log10 TOF), span (energetic span) or step (most endergonic step)\n";
      return kExitFailed;
    }
    if (!standard_output_ok("kinex volcano", file, output_.json, output_.csv, err))
      return kExitFailed;
    PictureFormat format = PictureFormat::svg;
    if (!file.empty() && file != "-" && !picture_file_format("kinex volcano", file, format, err))
      return kExitFailed;
    if (!range_.empty() && !parse_range(range_, options_)) {
      err += "kinex volcano: --range " + text::shown_name(range_) +
             ": FROM:TO with FROM below TO (--range=-1:2)\n";
      return kExitFailed;
    }
    options_.progress = call.progress;
    return command_volcano(file_, options_, output_, call.out, err, tables_);
  }

 private:
  std::string file_, range_, curve_;
  const CLI::Option *title_ = nullptr, *no_title_ = nullptr, *xlabel_ = nullptr, *ylabel_ = nullptr;
  VolcanoOptions options_;
  VolcanoOutput output_;
  const CLI::Option* dpi_ = nullptr;
  const CLI::Option* size_ = nullptr;
  std::string size_text_;
  TableOptions tables_;
};

}  // namespace

std::unique_ptr<Subcommand> volcano_subcommand(CLI::App& app) {
  return std::make_unique<VolcanoSubcommand>(app);
}

int command_volcano(const std::string& file, const VolcanoOptions& options,
                    const VolcanoOutput& output, Output& out, std::string& err,
                    const TableOptions& tables) {
  PictureFormat format = PictureFormat::svg;
  if (!table_and_picture_ok("kinex volcano", "a volcano", file, output.file, format, err))
    return kExitFailed;
  const bool to_file = !output.file.empty() && output.file != "-";
  std::vector<TableRow> rows;
  std::string error;
  Volcano volcano;
  if (!read_table(file, tables.default_T, rows, error) ||
      !build_volcano(rows, options, volcano, error)) {
    err += table_error("kinex volcano", file, error);
    return kExitFailed;
  }
  if (to_file) {
    if (!write_picture(output.file, format, output.dpi, volcano_svg(file, volcano, output.picture),
                       err))
      return kExitFailed;
  }
  if (output.file == "-") {
    out.text += volcano_svg(file, volcano, output.picture);
  } else if (output.json) {
    write_json(volcano_json(file, volcano), out.text);
  } else if (output.csv) {
    CsvNames guard(output.for_spreadsheet);
    out.text += volcano_csv(volcano, guard);
    err += guard.take_warnings();
  } else {
    out.text += volcano_text(file, volcano);
  }
  for (const std::string& warning : volcano.warnings) {
    if (output.json || output.csv || output.file == "-")
      err += "kinex volcano: warning: " + warning + "\n";
  }
  return out.deliver() ? kExitOk : kExitFailed;
}

}  // namespace kinex
