// The cycles and results behind the Python objects, in plain C++: a cycle
// with what travels with it (names, descriptors, the reader's notes, the
// table row it came from), its evaluation, its uncertainty and a volcano,
// each as bytes for pickling.
#pragma once

#include <kinex/map.h>
#include <kinex/run.h>
#include <kinex/table.h>
#include <kinex/types.h>
#include <kinex/uncertainty.h>
#include <kinex/volcano.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kinex::python {

struct CycleData {
  std::string name = "cycle";  // as the outputs show it: the path, FILE:NAME, or given
  Cycle cycle;
  StateNames names;  // empty: I0.., TS1..
  std::vector<Descriptor> descriptors;
  std::vector<StateSigma> sigmas;  // a table row's sigma columns
  ReadNotes notes;                 // the reader's warnings and lines (empty but for input files)
  bool from_table = false;
  std::string table_file;  // from_table: the table and its row
  TableRow table_row;      // from_table: row, name and descriptors (the cycle not kept)
};

// A cycle with everything the model finds for it, and the findings of kinex
// check about it.
struct EvaluatedData {
  std::shared_ptr<const CycleData> source;
  Run run;  // evaluated with the logarithms always (terms freed)
  std::vector<InputWarning> findings;
};

// A distribution with what it is of: the cycle at its own energies (of an
// ensemble, its first member), and the Monte Carlo's model or the ensemble's
// members.
struct UncertaintyData {
  std::string name;  // the cycle's; an ensemble's table, or "ensemble"
  std::shared_ptr<const EvaluatedData> central;
  bool monte_carlo = true;
  UncertaintyModel model;
  std::vector<std::string> members;
  Distribution d;
};

// A volcano with the table it was built from, as named.
struct VolcanoData {
  std::string file;
  Volcano volcano;
};

// A map with the table it was built from, as named.
struct MapData {
  std::string file;
  Map map;
};

// The run of `data`, storage had and the cycle, names and descriptors in,
// not yet evaluated. False with `failure` (kExitNoMemory) when the storage
// cannot be had.
bool prepared_run(const CycleData& data, Run& run, Failure& failure);

// Evaluates `data` on at most `threads` threads (0: as many as pay off), as
// kinex json does. False with `failure` when the storage cannot be had.
bool evaluate_data(const std::shared_ptr<const CycleData>& data, int threads,
                   EvaluatedData& evaluated, Failure& failure);

// Every field of a cycle or a result as bytes, and back. `from_bytes` fails
// (false) on bytes that `to_bytes` did not write.
// `text` with every byte that starts no well-formed UTF-8 sequence replaced
// by U+FFFD, as Python's str and kinex's JSON need it.
std::string utf8_repaired(const std::string& text);

// Every text of `data` (its name, the names of its states, descriptors and
// sigmas, its reader's warnings, its table) made well-formed UTF-8 by
// utf8_repaired: a file or table in another encoding (Latin-1) is read, its
// names shown as kinex's JSON shows them.
void repair_texts(CycleData& data);
void repair_texts(TableRow& row);  // its name and the names of its states and columns

std::string to_bytes(const CycleData& data);
bool from_bytes(const std::string& bytes, CycleData& data);
std::string to_bytes(const EvaluatedData& evaluated);  // the source included
bool from_bytes(const std::string& bytes, EvaluatedData& evaluated);
std::string to_bytes(const UncertaintyData& uncertainty);  // the central cycle included
bool from_bytes(const std::string& bytes, UncertaintyData& uncertainty);
std::string to_bytes(const VolcanoData& volcano);
bool from_bytes(const std::string& bytes, VolcanoData& volcano);
std::string to_bytes(const MapData& map);
bool from_bytes(const std::string& bytes, MapData& map);

}  // namespace kinex::python
