#include "report/banner.h"

#include <string_view>

#include "report/line_writer.h"

namespace kinex::report {
namespace {

// Line 1, "Authors:" and the disclaimer are fixed; users grep for them. The
// blocks between them keep their line counts: four lines of terms of use,
// three maintainers, two lines asking for citations and three references of
// three lines each.
constexpr std::string_view kBanner[] = {
    "This is the KINEX program, version 1.0, last modification 07/19/2010.",
    "KINEX is provided free of charge for research and teaching, as is, without",
    "any warranty of fitness for a particular purpose. Check its results before",
    "you rely on them. Whoever redistributes the program must keep this notice",
    "with it.",
    "",
    "Authors:",
    "Input file and command line maintainer - contact: the KINEX issue tracker",
    "Kinetic model maintainer               - contact: the KINEX issue tracker",
    "Report maintainer                      - contact: the KINEX issue tracker",
    "",
    "If you publish results obtained with KINEX, please cite the references on",
    "which its kinetic model rests:",
    "a) H. Eyring,",
    "   \"The Activated Complex in Chemical Reactions\",",
    "   J. Chem. Phys. 1935, 3, 107.",
    "b) J. A. Christiansen,",
    "   \"The Elucidation of Reaction Mechanisms by the Method of Intermediates",
    "   in Quasi-Stationary Concentrations\", Adv. Catal. 1953, 5, 311.",
    "c) C. T. Campbell,",
    "   \"Finding the Rate-Determining Step in a Mechanism: Comparing DeDonder",
    "   Relations with the 'Degree of Rate Control'\", J. Catal. 2001, 204, 520.",
    "",
    "The authors disclaim all warranties on the use of this program.",
    "",
};

static_assert(std::size(kBanner) == 25);

}  // namespace

void write_banner(std::string& out) {
  for (std::string_view line : kBanner) write_free(out, {line});
}

}  // namespace kinex::report
