// Tables of cycles for callers of the public headers.
#include "input/table.h"

#include <kinex/table.h>

namespace kinex::features {

struct TableRows::Reader {
  TableReader table;
};

TableRows::TableRows() : reader_(std::make_unique<Reader>()) {}
TableRows::~TableRows() = default;
TableRows::TableRows(TableRows&&) noexcept = default;
TableRows& TableRows::operator=(TableRows&&) noexcept = default;

bool TableRows::open(const std::string& path, double default_T) {
  return reader_->table.open_file(path, default_T, kRowByRow);
}

bool TableRows::next(TableRow& row) { return reader_->table.next(row); }
bool TableRows::failed() const { return reader_->table.failed(); }
const std::string& TableRows::error() const { return reader_->table.error(); }
const ErrorPlace& TableRows::place() const { return reader_->table.place(); }

bool read_table(const std::string& path, double default_T, std::vector<TableRow>& rows,
                std::string& error, ErrorPlace& place) {
  return kinex::read_table(path, default_T, rows, error, place);
}

}  // namespace kinex::features
