#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

namespace quillane {

// The ICC profile of a JPEG's APP2 payloads, given in file order: the "ICC_PROFILE" parts
// joined in their numbered order; empty when there is none, or when a part is missing or
// given twice. The decoder and the header reader both join them here.
inline std::vector<std::uint8_t> joinedIccParts(
    const std::vector<std::span<const std::uint8_t>>& app2Payloads) {
  constexpr std::uint8_t kSignature[12] = {'I', 'C', 'C', '_', 'P', 'R',
                                           'O', 'F', 'I', 'L', 'E', 0};
  constexpr std::size_t kPartHeader = sizeof kSignature + 2;  // then its number and the count
  std::vector<std::optional<std::span<const std::uint8_t>>> parts;
  bool seen = false;
  for (const auto payload : app2Payloads) {
    if (payload.size() < kPartHeader ||
        !std::equal(std::begin(kSignature), std::end(kSignature), payload.begin()))
      continue;
    const std::size_t number = payload[12], count = payload[13];
    if (!seen) parts.resize(count);
    seen = true;
    if (number == 0 || number > parts.size() || count != parts.size() || parts[number - 1])
      return {};
    parts[number - 1] = payload.subspan(kPartHeader);
  }
  std::vector<std::uint8_t> profile;
  for (const auto part : parts) {
    if (!part) return {};
    profile.insert(profile.end(), part->begin(), part->end());
  }
  return profile;
}

}  // namespace quillane
