#include "cli/shared.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <type_traits>

#include "figures/plot.h"
#include "input/table.h"
#include "model/uncertainty.h"
#include "outputs/check.h"
#include "outputs/format.h"
#include "platform/files.h"
#include "text/shown_name.h"
#include "text/strings.h"

namespace kinex {
namespace {

// A bound as a person writes it: 0 and 1, not 0.0 and 1.0.
std::string plain_number(double x) {
  std::string text = shortest(x);
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text;
}

// A value of type T from `low` to `high` (NaN is none), said in the user's
// words: "'TEXT' is not a KIND from LOW to HIGH".
template <class T>
CLI::Validator in_range(T low, T high, const std::string& kind) {
  const auto bound = [](T x) {
    if constexpr (std::is_integral_v<T>) {
      return std::to_string(x);
    } else {
      return plain_number(x);
    }
  };
  const std::string range = bound(low) + " to " + bound(high);
  return CLI::Validator(
      [low, high, kind, range](std::string& text) -> std::string {
        T x{};
        const char* end = text.data() + text.size();
        const auto [at, ec] = std::from_chars(text.data(), end, x);
        if (ec == std::errc() && at == end && x >= low && x <= high) return "";
        return "'" + text + "' is not a " + kind + " from " + range;
      },
      // No description: the help shows the option's own value name alone
      // ("--samples N"), its range said when a value is refused.
      "");
}

}  // namespace

// A sigma of the energies: a finite number of kcal/mol, at least 0.
const CLI::Validator kSigmaValue(
    [](std::string& text) -> std::string {
      double x = 0.0;
      const char* end = text.data() + text.size();
      const auto [at, ec] = std::from_chars(text.data(), end, x);
      if (ec == std::errc::result_out_of_range && at == end) {
        // Beyond the range of doubles: too small to be told from 0, or too
        // large for any number.
        const bool tiny = std::strtod(text.c_str(), nullptr) == 0.0;
        return "'" + text + "' is not a sigma in kcal/mol: " +
               (tiny ? "it is too small to be told from 0 (write 0)" : "it is too large");
      }
      if (ec != std::errc() || at != end || !is_sigma(x)) {
        return "'" + text + "' is not a sigma in kcal/mol (a finite number, at least 0)";
      }
      return "";
    },
    "");

// A seed: a whole number from 0 to 18446744073709551615.
const CLI::Validator kSeedValue(
    [](std::string& text) -> std::string {
      uint64_t x = 0;
      const char* end = text.data() + text.size();
      const auto [at, ec] = std::from_chars(text.data(), end, x);
      if (ec != std::errc() || at != end) {
        return "'" + text + "' is not a seed (a whole number from 0 to 18446744073709551615)";
      }
      return "";
    },
    "");

std::string with_reference(const char* text) {
  return std::string(text) +
         "\nThe whole reference: man kinex (docs/reference/kinex.md in the sources).";
}

CLI::Validator whole_number(int64_t low, int64_t high) {
  return in_range(low, high, "whole number");
}

CLI::Validator number_from(double low, double high) { return in_range(low, high, "number"); }

SamplingOptions add_sampling_options(CLI::App& app, SigmaSpec& sigmas, std::string& sigma_file,
                                     const SamplingDraws& draws, const SamplingHelp& help) {
  SamplingOptions options{};
  options.sigma =
      app.add_option("--sigma", sigmas.common, help.sigma)->check(kSigmaValue)->type_name("S");
  options.sigmas = app.add_option("--sigmas", sigma_file, help.sigmas)->type_name("FILE");
  options.samples = app.add_option("--samples", *draws.samples, help.samples)
                        ->check(whole_number(1, kMaxUncertaintySamples))
                        ->type_name("N");
  options.seed =
      app.add_option("--seed", *draws.seed, help.seed)->check(kSeedValue)->type_name("K");
  options.correlation = app.add_option("--correlation", *draws.correlation, help.correlation)
                            ->check(number_from(0.0, 1.0))
                            ->type_name("RHO");
  return options;
}

bool take_sampling_options(const SamplingOptions& options, const std::string& sigma_file,
                           SigmaSpec& sigmas, const std::string& command, std::string& err) {
  sigmas.has_common = options.sigma->count() > 0;
  std::string problem;
  if (!sigma_file.empty() && !read_sigma_file(sigma_file, sigmas, problem)) {
    err += command + ": " + problem + "\n";
    return false;
  }
  return true;
}

bool picture_file_format(const std::string& command, const std::string& name, PictureFormat& format,
                         std::string& err) {
  if (picture_format_of(name, format)) return true;
  if (is_device_or_pipe(name)) {
    format = PictureFormat::svg;
    return true;
  }
  err += command + ": " + text::shown_name(name) +
         ": name the picture .svg, .pdf or .png; the name's extension chooses the format\n";
  return false;
}

bool write_picture(const std::string& name, PictureFormat format, double dpi, std::string_view svg,
                   std::string& err) {
  std::string bytes, reason;
  const bool ok = format == PictureFormat::svg ? replace_file(name, svg, reason)
                                               : render_picture(svg, format, dpi, bytes, reason) &&
                                                     replace_file(name, bytes, reason);
  if (!ok) err += "kinex: " + text::shown_name(name) + ": " + reason + "\n";
  return ok;
}

CLI::Option* add_size_options(CLI::App& app, std::string& size, double& font_size,
                              const std::string& font_help) {
  app.add_option("--font-size", font_size, font_help)->check(CLI::PositiveNumber)->type_name("PT");
  return app
      .add_option("--size", size,
                  "The picture's size on paper: column (3.3 in, 8 pt text), page (7 in, 9 pt), "
                  "or WIDTH[xHEIGHT] in in or mm (85x60mm)")
      ->type_name("SIZE");
}

bool take_size(const std::string& size, const std::string& command, double& width, double& height,
               double& font_size, std::string& err) {
  if (size.empty()) return true;
  PaperSize paper;
  std::string reason;
  if (!parse_paper_size(size, paper, reason)) {
    err += command + ": " + reason + "\n";
    return false;
  }
  width = paper.width;
  height = paper.height;
  if (!(font_size > 0)) font_size = paper.font_size;
  return true;
}

CLI::Option* add_dpi_option(CLI::App& app, double& dpi) {
  return app
      .add_option("--dpi", dpi,
                  "With -o NAME.png: the resolution in dots per inch (default " +
                      shortest(kPictureDpi) + ")")
      ->check(number_from(kPictureMinDpi, kPictureMaxDpi))
      ->type_name("N");
}

bool dpi_fits(const CLI::Option* dpi_option, const std::string& command, const std::string& name,
              std::string& err) {
  PictureFormat format = PictureFormat::svg;
  if (dpi_option->count() == 0 || (picture_format_of(name, format) && format == PictureFormat::png))
    return true;
  err += command + ": --dpi is the resolution of a PNG; give -o NAME.png with it\n";
  return false;
}

bool table_temperature_ok(const TableOptions& tables, std::string& err) {
  if (std::isfinite(tables.default_T) && tables.default_T > 0.0) return true;
  err += "kinex: -T/--temperature: " + shortest(tables.default_T) +
         " is not a temperature in K above 0\nRun with --help for more information.\n";
  return false;
}

bool picture_command_ok(const std::string& command, const TableOptions& tables,
                        const CLI::Option* dpi, const std::string& file,
                        const std::string& own_refusal,
                        const std::vector<const CLI::Option*>& picture_only,
                        const std::string& size, VolcanoPicture& picture, std::string& err) {
  if (!table_temperature_ok(tables, err) || !dpi_fits(dpi, command, file, err)) return false;
  if (!own_refusal.empty() && file.empty()) {
    err += command + ": " + own_refusal + "\n";
    return false;
  }
  std::size_t given = picture.font_size > 0 ? 1 : 0;
  for (const CLI::Option* option : picture_only) given += option->count();
  if (file.empty() && given > 0) {
    err += command +
           ": --title, --no-title, --xlabel, --ylabel, --size and --font-size go with the "
           "picture; give -o OUT.svg with them\n";
    return false;
  }
  return take_size(size, command, picture.width, picture.height, picture.font_size, err);
}

bool standard_output_ok(const std::string& command, const std::string& file, bool json, bool csv,
                        std::string& err) {
  if (file != "-" || !(json || csv)) return true;
  err += command +
         ": -o - puts the picture on standard output in place of the text; --json and --csv go "
         "without it\n";
  return false;
}

bool table_and_picture_ok(const std::string& command, const std::string& subject,
                          const std::string& file, const std::string& picture,
                          PictureFormat& format, std::string& err) {
  if (!is_table_name(file)) {
    err += command + ": " + text::shown_name(file) + " is no table; " + subject +
           " takes a table of catalysts (.csv, .tsv)\n";
    return false;
  }
  if (picture.empty() || picture == "-") return true;
  if (!input_named_by(picture, {file}).empty()) {
    err += command + ": " + text::shown_name(picture) + " is the input file " +
           text::shown_name(file) + "; it is not overwritten. Name another output file.\n";
    return false;
  }
  return picture_file_format(command, picture, format, err);
}

std::string table_error(const std::string& command, const std::string& file,
                        const std::string& error) {
  std::string message = command + ": ";
  if (error.compare(0, file.size(), file) != 0) {
    message += file;
    message += ": ";
  }
  message += error;
  return text::shown_name(message) + "\n";
}

// With Strict::yes, whether the cycle `name` (from the argument `file`) has
// findings; if so, says so on `err`.
bool refused(Strict strict, const std::string& name, const std::string& file, std::size_t count,
             std::string& err) {
  if (strict == Strict::no || count == 0) return false;
  err += "kinex: " + text::shown_name(name) + ": " + warning_count(count) + "; " + kStrictFlag +
         " takes only clean files (kinex check " + text::shown_name(file) + " lists them)\n";
  return true;
}

// Reads and evaluates one cycle of a batch, its reading warnings on `err`
// and its findings in `found`; false, with the reason on `err`, when it
// cannot be read or --strict refuses it.
bool accepted(const Source& source, Strict strict, Run& run, std::vector<InputWarning>& found,
              std::string& err, const ProgressFn& progress) {
  ReadNotes notes;
  if (!evaluated(source, run, notes, err, progress)) return false;
  const std::string name = source_name(source);
  warn_reading(name, notes, err);
  found = findings(run, notes);
  return !refused(strict, name, source.file, found.size(), err);
}

// The progress of cycle k of `count`.
ProgressFn part_progress(const ProgressFn& progress, std::size_t k, std::size_t count) {
  if (!progress) return {};
  const double done = static_cast<double>(k), all = static_cast<double>(count);
  return [&progress, done, all](double part) { progress((done + part) / all); };
}

// The progress of the source `stream` gave last, within the batch.
ProgressFn source_progress(const ProgressFn& progress, const SourceStream& stream) {
  if (!progress) return {};
  const double from = stream.done_before(), to = stream.done_after();
  return [&progress, from, to](double part) { progress(from + part * (to - from)); };
}

}  // namespace kinex
