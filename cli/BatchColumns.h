#pragma once

// The lines of a batch as the columns of a kind of form (--columns KIND):
// the file's name, then the kind's columns (PayloadColumns), separated by
// tabs, each unescaped as a batch's field is (\n, \t, \\).
#include "Batch.h"

#include <optional>
#include <string>

namespace zub::cli {

// The parser of lines of the kind named `kind` ("wifi"...), unset for none.
// A line's empty file name leaves it to its line number; columns left out
// at the end are empty. More columns than the kind has, a field that cannot
// be unescaped and a form that cannot be written fail the line, with the
// column's number and name.
LineParser ColumnsLineParser(const std::optional<std::string> &kind);

} // namespace zub::cli
