// Faults of kinex found under attack: batches and scans that held all their
// output until the end, and command lines that misread a file's name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/cycle_files.h"
#include "kinex/types.h"
#include "outputs/json_output.h"

namespace kinex {
namespace {

using namespace cycle_files;
using test::Outcome;
using test::shell_quoted;

// A command whose standard output goes to a file through Output, counting
// the writes; returns what the file holds.
std::string streamed(const ScratchDir& dir, int& writes,
                     const std::function<int(Output&, std::string&)>& command) {
  const std::string path = dir.file("streamed.txt");
  std::FILE* file = std::fopen(path.c_str(), "w");
  Output out;
  out.fd = fileno(file);
  out.before_write = [&writes] { ++writes; };
  std::string err;
  EXPECT_EQ(command(out, err), 0) << err;
  std::fclose(file);
  return read_file(path);
}

TEST(Cost, ScanRowsGoOutOneByOneAndEqualTheBufferedTable) {
  ScratchDir dir;
  const std::string file = KINEX_EXAMPLES "/tdts_switch.txt";
  for (const bool csv : {false, true}) {
    std::vector<std::string> args{"scan", file, "--temperatures", "270:320:5"};
    if (csv) args.push_back("--csv");
    const Outcome buffered = kinex_run(args);
    int writes = 0;
    const std::string text = streamed(dir, writes, [&](Output& out, std::string& err) {
      return run_kinex(
          [&] {
            auto a = args;
            a.insert(a.begin(), "kinex");
            return a;
          }(),
          out, err);
    });
    EXPECT_EQ(text, buffered.out) << (csv ? "csv" : "table");
    EXPECT_EQ(writes, 11) << "one write per row";
    // The text table is aligned on the widest name a row can hold, since
    // no row is known when the first goes out.
    if (!csv) {
      const std::vector<std::string> lines = test::lines_of(text);
      EXPECT_EQ(lines[0].find("TDI") + 3, lines[1].find(" I0 ") + 3);
    }
  }
}

TEST(Cost, BatchDocumentsAndRowsGoOutOneByOneWithTheBytesOfAWholeArray) {
  ScratchDir dir;
  const std::vector<std::string> files{KINEX_EXAMPLES "/three_step.txt", dir.file("missing.txt"),
                                       KINEX_EXAMPLES "/five_step.txt",
                                       KINEX_EXAMPLES "/tdts_switch.txt"};
  Json whole = Json::array();
  for (const std::string& file : {files[0], files[2], files[3]}) {
    kinex::Run run;
    ASSERT_TRUE(kinex_evaluation(file, run));
    whole.push_back(cycle_json(run, {"kinex", "json", file}, {}));
  }
  std::string expected;
  write_json(whole, expected);
  int writes = 0;
  std::string err;
  const std::string json = streamed(dir, writes, [&](Output& out, std::string& e) {
    const int status = command_json(files, "kinex", Strict::no, out, e);
    err = e;
    return status == kExitFailed ? 0 : 1;  // the missing file fails the batch
  });
  EXPECT_EQ(json, expected);
  EXPECT_EQ(writes, 4) << "a write per document and the closing bracket";
  EXPECT_NE(err.find("missing.txt: No such file"), std::string::npos);

  writes = 0;
  const std::string csv = streamed(dir, writes, [&](Output& out, std::string& e) {
    return command_csv(files, false, Strict::no, out, e) == 2 ? 0 : 1;
  });
  EXPECT_EQ(csv, kinex_run({"csv", files[0], files[1], files[2], files[3]}).out);
  EXPECT_EQ(writes, 3) << "the header goes with the first row";

  // An empty batch is still one valid array.
  std::string none;
  end_json_array(0, none);
  EXPECT_EQ(none, "[]\n");
}

// A table from a pipe that stays open: each command answers the rows it
// has been given before the pipe ends (a table held whole answered none), and
// a table that fails part-way keeps the rows before the failure.
TEST(Cost, TableRowsFromAPipeAreAnsweredBeforeItEnds) {
  ScratchDir dir;
  const std::string header = "name,I0,TS1,I1,TS2,Product\n", row = "c,0,15,-2,12,-10\n";
  const struct {
    const char* label;
    std::string args;
    const char* first;  // in what is written once the row has been answered
  } cases[] = {
      {"csv", "csv", "t.csv:c,298.15,2,"},
      {"json", "json", "\"file\": \"t.csv:c\""},
      {"check", "check", "t.csv:c: no warnings"},
      {"uncertainty", "uncertainty --sigma 1 --samples 100 --csv", "t.csv:c,"},
  };
  for (const auto& c : cases) {
    // The writer gives one row, then waits (up to 20 s) for its answer
    // before it closes the pipe with a row whose quote is never closed.
    const std::string script =
        "cd " + shell_quoted(dir.path) + " && rm -f t.csv answered && mkfifo t.csv && (" +
        shell_quoted(KINEX_TOOL) + " " + c.args +
        " t.csv > answer 2> messages &) && exec 3> t.csv" + " && printf '" + header + row +
        "' >&3 && i=0; while [ $i -lt 200 ]; do grep -qF " + shell_quoted(c.first) +
        " answer && touch answered && break; sleep 0.1; i=$((i+1)); done;" +
        " printf '\"open,1\\n' >&3; exec 3>&-;" +
        " i=0; while [ ! -s messages ] && [ $i -lt 200 ]; do sleep 0.1; i=$((i+1)); done";
    spawn_shell(dir, script);
    EXPECT_TRUE(std::filesystem::exists(dir.file("answered"))) << c.label;
    EXPECT_NE(read_file(dir.file("messages")).find("t.csv:3:1: a quote opens a cell here"),
              std::string::npos)
        << c.label;
  }
}

TEST(Naming, ArgumentsAfterTheFirstFileAreFiles) {
  ScratchDir dir;
  const std::string cycle = read_file(KINEX_EXAMPLES "/three_step.txt");
  for (const char* name : {"a.txt", "--help", "-x.txt", "-h", "=1+1.txt", "@sum.txt"}) {
    dir.write(name, cycle);
  }
  const std::string kinex =
      "cd " + shell_quoted(dir.path.string()) + " && " + shell_quoted(KINEX_TOOL) + " ";
  const struct {
    const char* args;
    int status;
    std::vector<std::string> names;  // the file column of the rows, or the error's text
  } cases[] = {
      {"csv a.txt --help a.txt", 0, {"a.txt", "--help", "a.txt"}},
      {"csv a.txt -h -x.txt", 0, {"a.txt", "-h", "-x.txt"}},
      {"csv -- -x.txt --help", 0, {"-x.txt", "--help"}},
      {"csv -- --", 2, {"kinex: --: No such file or directory"}},
      {"csv -x.txt", 2, {"unknown option '-x.txt'", "(kinex csv -- -x.txt)", "./-x.txt"}},
      {"json -x.txt", 2, {"unknown option '-x.txt'"}},
      {"csv --", 2, {"kinex: FILE is required"}},
      {"--version extra", 2, {"kinex: --version takes no arguments"}},
      // Names a spreadsheet would take for formulas: as they are, with a
      // warning, or guarded on request.
      {"csv =1+1.txt @sum.txt a.txt", 0, {"=1+1.txt", "@sum.txt", "a.txt"}},
      {"csv --spreadsheet -- =1+1.txt @sum.txt -x.txt a.txt",
       0,
       {"'=1+1.txt", "'@sum.txt", "'-x.txt", "a.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome o = test::spawn_shell(dir, kinex + c.args);
    EXPECT_EQ(o.status, c.status) << o.err;
    if (c.status == 0 && c.names.size() > 0 && c.args[0] == 'c') {
      const auto records = read_csv(o.out);
      ASSERT_EQ(records.size(), c.names.size() + 1) << o.out;
      for (std::size_t r = 0; r < c.names.size(); ++r) EXPECT_EQ(records[r + 1][0], c.names[r]);
      continue;
    }
    for (const std::string& part : c.names) {
      EXPECT_NE(o.err.find(part), std::string::npos) << o.err;
    }
    // A file named like an option is never taken for a missing file.
    if (c.names[0] != "kinex: FILE is required") {
      EXPECT_EQ(o.err.find("FILE is required"), std::string::npos) << o.err;
    }
  }
}

TEST(Naming, FormulaNamesAreWarnedAboutUnlessGuarded) {
  ScratchDir dir;
  const std::string file = dir.write("=cmd.txt", read_file(KINEX_EXAMPLES "/three_step.txt"));
  const Outcome plain = kinex_run({"csv", file});
  EXPECT_EQ(plain.err, "");  // a full path starts with '/'
  const std::string kinex =
      "cd " + shell_quoted(dir.path.string()) + " && " + shell_quoted(KINEX_TOOL) + " csv ";
  const Outcome warned = test::spawn_shell(dir, kinex + "=cmd.txt");
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(read_csv(warned.out)[1][0], "=cmd.txt");
  EXPECT_EQ(warned.err,
            "kinex: warning: =cmd.txt: a spreadsheet takes this name for a formula; "
            "--spreadsheet writes it as text\n");
  const Outcome guarded = test::spawn_shell(dir, kinex + "--spreadsheet =cmd.txt");
  EXPECT_EQ(read_csv(guarded.out)[1][0], "'=cmd.txt");
  EXPECT_EQ(guarded.err, "");
  // Numbers are never altered, the negative DeltaG among them.
  EXPECT_EQ(read_csv(guarded.out)[1][3], "-10.0");
}

}  // namespace
}  // namespace kinex
