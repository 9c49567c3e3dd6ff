// What the subcommands of kinex share: the flags and help texts several
// take, option values checked in the user's words, the options of a Monte
// Carlo over the energies' errors, and how a cycle of a batch is taken.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/sources.h"
#include "input/warnings.h"
#include "kinex/pictures.h"
#include "model/run.h"
#include "platform/progress.h"
#include "render/render.h"
#include "uncertainty/screening.h"

namespace kinex {

// Whether a file with any finding (see outputs/check.h) is refused as an
// unreadable one is: a one-line diagnostic on standard error, nothing in the
// output, exit status kExitFailed.
enum class Strict { no, yes };

inline constexpr const char* kSpreadsheetFlag = "--spreadsheet";
inline constexpr const char* kSpreadsheetHelp =
    "Write names that a spreadsheet would take for formulas as text (a leading ')";
inline constexpr const char* kStrictFlag = "--strict";
inline constexpr const char* kStrictHelp =
    "Refuse a file with warnings (see kinex check) as unreadable";
inline constexpr const char* kJsonFlag = "--json";
inline constexpr const char* kTemperatureHelp =
    "Temperature of table rows without one (default 298.15)";
inline constexpr const char* kRowHelp = "The row of a table (its name in column 1) to take";

// The usage line of a subcommand whose arguments CLI11 does not see whole
// (the report's, the files of json and csv), written out.
class FixedUsage : public CLI::Formatter {
 public:
  explicit FixedUsage(std::string line) : line_(std::move(line)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return line_; }

 private:
  std::string line_;
};

// A sigma of the energies (kcal/mol, finite, at least 0) and a seed (a
// whole number from 0 to 2^64 - 1), refused in the user's words.
extern const CLI::Validator kSigmaValue;
extern const CLI::Validator kSeedValue;

// A whole number, or a number, from `low` to `high`: "'TEXT' is not a whole
// number from 0 to 1024".
// A subcommand's --help footer: `text` (what it writes, examples), then
// where the whole reference is, which the footers do not repeat.
std::string with_reference(const char* text);

CLI::Validator whole_number(int64_t low, int64_t high);
CLI::Validator number_from(double low, double high);

// The options of a Monte Carlo over the energies' errors, in this order:
// --sigma S, --sigmas FILE, --samples N, --seed K, --correlation RHO, bound
// to `sigmas.common`, `sigma_file` and `draws`, each with its subcommand's
// help text.
struct SamplingHelp {
  std::string sigma, sigmas, samples, seed, correlation;
};
struct SamplingDraws {
  int64_t* samples;
  uint64_t* seed;
  double* correlation;
};
struct SamplingOptions {
  CLI::Option* sigma;
  CLI::Option* sigmas;
  CLI::Option* samples;
  CLI::Option* seed;
  CLI::Option* correlation;
};
SamplingOptions add_sampling_options(CLI::App& app, SigmaSpec& sigmas, std::string& sigma_file,
                                     const SamplingDraws& draws, const SamplingHelp& help);

// Once parsed: whether --sigma was given into `sigmas`, and the pairs of
// `sigma_file` (when one was named) read into it. False with the reason on
// `err` after `command` ("kinex plot").
bool take_sampling_options(const SamplingOptions& options, const std::string& sigma_file,
                           SigmaSpec& sigmas, const std::string& command, std::string& err);

// The format of the picture file `name` by its extension, ".svg", ".pdf"
// or ".png" in any case; a device or a pipe of another name (/dev/stdout,
// a FIFO) gets SVG. False for any other name, saying so on `err` after
// `command` ("kinex plot").
bool picture_file_format(const std::string& command, const std::string& name, PictureFormat& format,
                         std::string& err);

// The picture `svg` in `format` (PNG at `dpi` dots per inch) into the file
// `name`, replaced whole or not at all (replace_file). False with the
// reason on `err`, the file then as it was.
bool write_picture(const std::string& name, PictureFormat format, double dpi, std::string_view svg,
                   std::string& err);

// --size and --font-size of a picture: the text of --size into `size`, the
// font's points into `font_size`. Returns --size.
CLI::Option* add_size_options(CLI::App& app, std::string& size, double& font_size,
                              const std::string& font_help);

// The paper size `size` (--size; "" when not given) into px `width` and
// `height` and, unless --font-size gave one (`font_size` above 0), the
// size's font in pt. False with the reason on `err` after `command`.
bool take_size(const std::string& size, const std::string& command, double& width, double& height,
               double& font_size, std::string& err);

// --dpi of -o NAME.png into `dpi`, its help naming the default.
CLI::Option* add_dpi_option(CLI::App& app, double& dpi);

// Whether --dpi (`dpi_option`) goes with the picture file `name`, a PNG;
// if not, says so on `err` after `command`.
bool dpi_fits(const CLI::Option* dpi_option, const std::string& command, const std::string& name,
              std::string& err);

// Whether the temperature of table rows without one is a temperature; if
// not, says so on `err`.
bool table_temperature_ok(const TableOptions& tables, std::string& err);

// The options that kinex volcano and kinex map share, checked once parsed,
// in this order: -T (table_temperature_ok), --dpi with a PNG (dpi_fits),
// `own_refusal` (the command's own word on an option of the picture, said
// when not empty and no picture `file` is asked), the picture's options
// `picture_only` and --font-size given without -o, and --size taken into
// `picture` (take_size). False with the reason on `err` after `command`.
bool picture_command_ok(const std::string& command, const TableOptions& tables,
                        const CLI::Option* dpi, const std::string& file,
                        const std::string& own_refusal,
                        const std::vector<const CLI::Option*>& picture_only,
                        const std::string& size, VolcanoPicture& picture, std::string& err);

// Whether -o - (the picture on standard output) goes without --json and
// --csv; if not, says so on `err` after `command`.
bool standard_output_ok(const std::string& command, const std::string& file, bool json, bool csv,
                        std::string& err);

// Whether `file` is a table and the picture file `picture` (empty: none;
// "-": standard output) neither is it nor has another extension than
// .svg, .pdf and .png, its format then into `format`; if not, says so on
// `err` after `command`, what the table makes being `subject` ("a map").
bool table_and_picture_ok(const std::string& command, const std::string& subject,
                          const std::string& file, const std::string& picture,
                          PictureFormat& format, std::string& err);

// The diagnostic of `command` for a table `file` that cannot be read or
// makes nothing for `error`: named by the file unless `error` is.
std::string table_error(const std::string& command, const std::string& file,
                        const std::string& error);

// With Strict::yes, whether the cycle `name` (from the argument `file`) has
// `count` findings; if so, says so on `err`.
bool refused(Strict strict, const std::string& name, const std::string& file, std::size_t count,
             std::string& err);

// Reads and evaluates one cycle of a batch, its reading warnings on `err`
// and its findings in `found`; false, with the reason on `err`, when it
// cannot be read or --strict refuses it.
bool accepted(const Source& source, Strict strict, Run& run, std::vector<InputWarning>& found,
              std::string& err, const ProgressFn& progress);

// The progress of cycle k of `count`, and of the source `stream` gave last.
ProgressFn part_progress(const ProgressFn& progress, std::size_t k, std::size_t count);
ProgressFn source_progress(const ProgressFn& progress, const SourceStream& stream);

}  // namespace kinex
