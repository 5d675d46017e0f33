#pragma once
// The block map file: 256 bytes, the palette block (0..15) of each sprite in sprite order.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace nrbx::data {

constexpr std::size_t kBlockMapBytes = 256;
using BlockMap = std::array<std::uint8_t, kBlockMapBytes>;

// Exactly 256 bytes, each below 16; anything else raises a failure naming the file. A caller reading a
// file passes at most 257 bytes of it: more than 256 is all a message needs to know.
BlockMap parseBlockMap(std::span<const std::uint8_t> content, const std::string& name);

}  // namespace nrbx::data
