#include "job/NaturalOrder.h"

#include <algorithm>

#include "util/PathNames.h"

namespace quillane {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the run of digits, or of other bytes, that starts at `at`.
std::size_t runLength(std::string_view text, std::size_t at) {
  const bool digits = isDigit(text[at]);
  std::size_t end = at;
  while (end < text.size() && isDigit(text[end]) == digits) ++end;
  return end - at;
}

// Two runs of digits by value (any length: compared as text once leading zeros are gone),
// then the shorter first.
int compareNumbers(std::string_view a, std::string_view b) {
  const std::string_view valueA = a.substr(std::min(a.find_first_not_of('0'), a.size()));
  const std::string_view valueB = b.substr(std::min(b.find_first_not_of('0'), b.size()));
  if (valueA.size() != valueB.size()) return valueA.size() < valueB.size() ? -1 : 1;
  if (const int byValue = valueA.compare(valueB); byValue != 0) return byValue;
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

// Runs that are not both digits, as plain bytes compare: at their first difference, which
// may be the byte after the shorter run. a and b are the rest of the stems from the runs on.
int compareText(std::string_view a, std::size_t runA, std::string_view b, std::size_t runB) {
  const std::size_t common = std::min(runA, runB);
  if (const int order = a.substr(0, common).compare(b.substr(0, common)); order != 0) return order;
  if (runA == runB) return 0;
  return a.substr(common, 1).compare(b.substr(common, 1));
}

// Stems run by run: digits against digits by value, anything else by bytes.
int compareStems(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const std::size_t runA = runLength(a, i), runB = runLength(b, j);
    const int order = isDigit(a[i]) && isDigit(b[j])
                          ? compareNumbers(a.substr(i, runA), b.substr(j, runB))
                          : compareText(a.substr(i), runA, b.substr(j), runB);
    if (order != 0) return order;
    i += runA;
    j += runB;
  }
  return (i < a.size()) - (j < b.size());
}

// The whole name when it has no dot (a folder's, say).
std::string_view stemOf(std::string_view name) {
  if (name.find('.') == std::string_view::npos) return name;
  return name.substr(0, name.size() - pathExtension(name).size() - 1);
}

}  // namespace

bool naturallyBefore(std::string_view a, std::string_view b) {
  if (const int byStem = compareStems(stemOf(a), stemOf(b)); byStem != 0) return byStem < 0;
  return pathExtension(a) < pathExtension(b);
}

void sortNaturally(std::vector<std::string>& files) {
  std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    return naturallyBefore(lastPathComponent(a), lastPathComponent(b));
  });
}

}  // namespace quillane
