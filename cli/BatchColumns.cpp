#include "BatchColumns.h"

#include "Messages.h"
#include "PayloadOptions.h"

#include <algorithm>

namespace zub::cli {

namespace {

// "第 3 列（password）" or "column 3 (password)", counting the name's column.
std::string Column(std::size_t index, const std::string &name) {
  const std::string number = std::to_string(index + 1);
  return Say("第 ", "column ") + number + Say(" 列（", " (") + name + Say("）", ")");
}

void ParseLine(PayloadKind kind, std::string_view line, BatchJob &job) {
  std::vector<std::string> cells;
  for (std::size_t at = 0;;) {
    const std::size_t tab = line.find('\t', at);
    std::string error;
    std::optional<std::string> cell = Unescape(line.substr(at, tab - at), error);
    if (!cell) {
      const std::vector<std::string> &columns = PayloadColumns(kind);
      const std::string name = cells.empty()                    ? Say("文件名", "file name")
                               : cells.size() <= columns.size() ? columns[cells.size() - 1]
                                                                : Say("多余", "extra");
      job.error = Column(cells.size(), name) + Say("：", ": ") + error;
      return;
    }
    cells.push_back(std::move(*cell));
    if (tab == std::string_view::npos)
      break;
    at = tab + 1;
  }
  const std::vector<std::string> &columns = PayloadColumns(kind);
  if (cells.size() > columns.size() + 1) {
    std::string names = Say("文件名", "file name");
    for (const std::string &c : columns)
      names += Say("、", ", ") + c;
    job.error = Say("有 ", "") + std::to_string(cells.size()) +
                Say(" 列，这种内容最多 ", " columns, where this kind has at most ") +
                std::to_string(columns.size() + 1) + Say(" 列（", " (") + names + Say("）", ")");
    return;
  }
  cells.resize(columns.size() + 1);
  if (!cells[0].empty())
    job.name = cells[0];
  PayloadFields form{kind, {}, {}};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string &value = cells[i + 1];
    if (i == 0 && kind == PayloadKind::Geo)
      form.value = value + "," + cells[2];
    else if (kind == PayloadKind::Geo)
      continue;
    else if (i == 0 && kind != PayloadKind::Contact)
      form.value = value;
    else
      form.fields[columns[i]] = value;
  }
  std::string field, why;
  if (const std::optional<std::string> text = PayloadTextOf(form, field, why)) {
    job.text = *text;
    return;
  }
  // The column of the field; a place's value is its two columns.
  const auto at = std::find(columns.begin(), columns.end(), field);
  job.error =
      (at != columns.end()
           ? Column(static_cast<std::size_t>(at - columns.begin()) + 1, field)
           : Say("第 2、3 列（latitude、longitude）", "columns 2 and 3 (latitude, longitude)")) +
      Say("：", ": ") + why;
}

} // namespace

LineParser ColumnsLineParser(const std::optional<std::string> &kind) {
  if (!kind)
    return {};
  const std::optional<PayloadKind> named = PayloadKindNamed(*kind);
  if (!named)
    return {};
  return [k = *named](std::string_view line, BatchJob &job) { ParseLine(k, line, job); };
}

} // namespace zub::cli
