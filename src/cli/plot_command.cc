// kinex plot: the energy profile of one cycle, or of several overlaid, as
// an SVG picture, with error bars when the energies' sigmas are given.
#include <memory>
#include <string>
#include <vector>

#include "batch/sources.h"
#include "cli/commands.h"
#include "cli/shared.h"
#include "cli/subcommand.h"
#include "figures/plot.h"
#include "platform/files.h"
#include "text/shown_name.h"
#include "text/strings.h"

namespace kinex {
namespace {

constexpr const char* kPlotFooter =
    "The energy profile, the TDI, TDTS and energetic span marked; several\n"
    "files are overlaid in one picture. OUT's extension chooses the\n"
    "format: .svg, .pdf (vector, its fonts embedded) or .png (300 dpi unless\n"
    "--dpi says); OUT is replaced whole or not at all, and never when it is an\n"
    "input file. Standard output gets SVG.\n"
    "Examples:\n"
    "  kinex plot cycle.txt -o cycle.svg\n"
    "  kinex plot cycle.txt -o cycle.pdf --size column\n"
    "  kinex plot a.txt b.txt c.txt --title 'Three ligands' -o abc.svg\n"
    "  kinex plot ni.txt pd.txt --label Ni --label Pd -o nipd.svg";

// "FROM:TO" in kcal/mol, FROM below TO.
bool parse_y_range(const std::string& text, PlotOptions& options, std::string& err) {
  const std::size_t colon = text.find(':', 1);
  char* end = nullptr;
  bool ok = colon != std::string::npos;
  if (ok) {
    const std::string from = text.substr(0, colon), to = text.substr(colon + 1);
    options.y_from = std::strtod(from.c_str(), &end);
    ok = !from.empty() && *end == '\0';
    options.y_to = std::strtod(to.c_str(), &end);
    ok = ok && !to.empty() && *end == '\0' && std::isfinite(options.y_from) &&
         std::isfinite(options.y_to) && options.y_from < options.y_to;
  }
  if (!ok) {
    err += "kinex plot: --y-range " + text::shown_name(text) +
           ": give FROM:TO in kcal/mol, FROM below TO (--y-range=-10:30)\n";
  }
  options.has_y_range = ok;
  return ok;
}

class PlotSubcommand : public Subcommand {
 public:
  explicit PlotSubcommand(CLI::App& app)
      : Subcommand(app.add_subcommand("plot", "The energy profile as an SVG, PDF or PNG picture")) {
    app_->add_option("FILE", files_,
                     "Input files of KINEX.exe or tables (.csv, .tsv), overlaid in one picture")
        ->required();
    app_->add_option("-o,--output", output_,
                     "Write the picture to OUT (.svg, .pdf, .png), not standard output")
        ->type_name("OUT");
    dpi_ = add_dpi_option(*app_, dpi_value_);
    title_ = app_->add_option("--title", options_.title, "The title instead of the file's name");
    app_->add_flag("--no-title", options_.no_title, "No title");
    app_->add_option("--label", options_.labels,
                     "A cycle's name in the legend instead of its file's; one per cycle, in order")
        ->type_name("TEXT")
        ->allow_extra_args(false);
    app_->add_option("--xlabel", options_.xlabel,
                     "The reaction coordinate's title (default 'Reaction coordinate')")
        ->type_name("TEXT");
    app_->add_option("--ylabel", options_.ylabel,
                     "The energy axis's title (default 'Gibbs energy (kcal/mol)')")
        ->type_name("TEXT");
    size_option_ = add_size_options(
        *app_, size_, options_.font_size,
        "The state labels' size in pt, all text scaling with it (default 9; 8 below 5 in)");
    app_->add_option("--width", options_.width, "The picture's width in px (96 to the inch)")
        ->check(CLI::PositiveNumber)
        ->type_name("PX");
    app_->add_option("--height", options_.height, "The picture's height in px, at least")
        ->check(CLI::PositiveNumber)
        ->type_name("PX");
    app_->add_option("--y-range", y_range_, "The energy axis in kcal/mol (--y-range=-10:30)")
        ->type_name("FROM:TO");
    sampling_ = add_sampling_options(
        *app_, sigmas_, sigma_file_,
        {&options_.sigma_samples, &options_.sigma_seed, &options_.sigma_correlation},
        {"Error bars of +-S kcal/mol on every state, and how likely each is TDI/TDTS",
         "Error bars and TDI/TDTS probabilities with these states' own sigmas",
         "With --sigma: the samples of the energies (default 10000)",
         "With --sigma: the seed (default 0)",
         "With --sigma: the share of each state's variance common to all (default 0)"});
    app_->add_flag(kStrictFlag, strict_, kStrictHelp);
    app_->add_option("--row", tables_.row, kRowHelp)->type_name("NAME");
    app_->add_option("-T,--temperature", tables_.default_T, kTemperatureHelp)->type_name("K");
    app_->footer(with_reference(kPlotFooter));
  }

  int run(const Call& call) override {
    std::string& err = call.err;
    if (!table_temperature_ok(tables_, err)) return kExitFailed;
    if (!dpi_fits(dpi_, "kinex plot", output_, err)) return kExitFailed;
    options_.has_title = title_->count() > 0;
    if (size_option_->count() > 0 && (options_.width > 0 || options_.height > 0)) {
      err += "kinex plot: --size gives the width and height; give it or --width and --height\n";
      return kExitFailed;
    }
    if (!take_size(size_, "kinex plot", options_.width, options_.height, options_.font_size, err))
      return kExitFailed;
    if (!y_range_.empty() && !parse_y_range(y_range_, options_, err)) return kExitFailed;
    const bool uncertain = sampling_.sigma->count() > 0 || sampling_.sigmas->count() > 0;
    if (!uncertain &&
        sampling_.samples->count() + sampling_.seed->count() + sampling_.correlation->count() > 0) {
      err +=
          "kinex plot: --samples, --seed and --correlation go with --sigma S or --sigmas "
          "FILE\nRun with --help for more information.\n";
      return kExitFailed;
    }
    const std::string problem = check_plot_sizes(options_);
    if (!problem.empty()) {
      err += "kinex plot: " + problem + "\n";
      return kExitFailed;
    }
    if (uncertain && !take_sampling_options(sampling_, sigma_file_, sigmas_, "kinex plot", err)) {
      return kExitFailed;
    }
    return command_plot(files_, output_, options_, strict_ ? Strict::yes : Strict::no, call.out,
                        err, call.progress, tables_, uncertain ? &sigmas_ : nullptr, dpi_value_);
  }

 private:
  std::vector<std::string> files_;
  std::string output_, y_range_, sigma_file_, size_;
  PlotOptions options_;
  const CLI::Option* title_ = nullptr;
  const CLI::Option* dpi_ = nullptr;
  const CLI::Option* size_option_ = nullptr;
  double dpi_value_ = kPictureDpi;
  SigmaSpec sigmas_;
  SamplingOptions sampling_{};
  bool strict_ = false;
  TableOptions tables_;
};

}  // namespace

std::unique_ptr<Subcommand> plot_subcommand(CLI::App& app) {
  return std::make_unique<PlotSubcommand>(app);
}

int command_plot(const std::vector<std::string>& files, const std::string& output,
                 const PlotOptions& options, Strict strict, Output& out, std::string& err,
                 const ProgressFn& progress, const TableOptions& tables, const SigmaSpec* sigmas,
                 double dpi) {
  const bool to_file = !output.empty() && output != "-";
  // Every file the command reads, the sigmas file among them.
  std::vector<std::string> inputs = files;
  if (sigmas != nullptr && !sigmas->file.empty()) inputs.push_back(sigmas->file);
  if (const std::string input = to_file ? input_named_by(output, inputs) : std::string();
      !input.empty()) {
    err += "kinex plot: " + text::shown_name(output) + " is the input file " +
           text::shown_name(input) + "; it is not overwritten. Name another output file.\n";
    return kExitFailed;
  }
  PictureFormat format = PictureFormat::svg;
  if (to_file && !picture_file_format("kinex plot", output, format, err)) return kExitFailed;
  // Every cycle of the files: a table gives its rows, or the one --row names.
  std::vector<Source> sources;
  if (tables.row.empty()) {
    sources = expand_sources(files, tables.default_T);
  } else {
    for (const std::string& file : files) {
      Source source;
      if (!single_source(file, tables, source, err)) return kExitFailed;
      sources.push_back(std::move(source));
    }
  }
  std::vector<Run> runs(sources.size());
  std::vector<const Run*> evaluated_runs;
  for (std::size_t k = 0; k < sources.size(); ++k) {
    std::vector<InputWarning> found;
    if (!accepted(sources[k], strict, runs[k], found, err,
                  part_progress(progress, k, sources.size()))) {
      return kExitFailed;
    }
    evaluated_runs.push_back(&runs[k]);
  }
  if (evaluated_runs.empty()) {
    err += "kinex plot: no cycle to draw\n";
    return kExitFailed;
  }
  if (options.labels.size() > evaluated_runs.size()) {
    err += "kinex plot: " + std::to_string(options.labels.size()) + " --label for " +
           std::to_string(evaluated_runs.size()) + " cycle" +
           (evaluated_runs.size() == 1 ? "" : "s") + "; give at most one per cycle, in order\n";
    return kExitFailed;
  }
  PlotOptions drawn = options;
  if (sigmas != nullptr) {
    if (evaluated_runs.size() > 1) {
      err += "kinex plot: --sigma draws the error bars of one cycle, and " +
             std::to_string(evaluated_runs.size()) +
             " are named; name one file (--row NAME for a table's row)\n";
      return kExitFailed;
    }
    std::string reason;
    if (!source_sigmas(*sigmas, sources.front(), runs.front(), drawn.sigmas, reason)) {
      err += "kinex plot: " + text::shown_name(source_name(sources.front())) + ": " + reason + "\n";
      return kExitFailed;
    }
  }
  const std::string svg =
      evaluated_runs.size() == 1
          ? render_profile_svg(runs.front(), source_name(sources.front()), drawn)
          : render_profiles_svg(evaluated_runs, drawn);
  if (!to_file) {
    out.text += svg;
    return out.deliver() ? kExitOk : kExitFailed;
  }
  return write_picture(output, format, dpi, svg, err) ? kExitOk : kExitFailed;
}

}  // namespace kinex
