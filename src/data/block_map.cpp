#include "data/block_map.h"

#include "platform/failure.h"

namespace nrbx::data {

namespace {

platform::Failure notABlockMap(const std::string& name, const std::string& why) {
    return platform::Failure(platform::FailureKind::Other, "block map " + name + ": " + why);
}

}  // namespace

BlockMap parseBlockMap(std::span<const std::uint8_t> content, const std::string& name) {
    if (content.size() != kBlockMapBytes) {
        const std::string size =
            content.size() > kBlockMapBytes ? "more than 256" : std::to_string(content.size());
        throw notABlockMap(name, size + " bytes instead of 256, one per sprite");
    }
    BlockMap map;
    for (std::size_t n = 0; n < kBlockMapBytes; ++n) {
        if (content[n] > 15) {
            throw notABlockMap(name, "sprite " + std::to_string(n) + " has block " +
                                         std::to_string(content[n]) + "; blocks are 0..15");
        }
        map[n] = content[n];
    }
    return map;
}

}  // namespace nrbx::data
