#include "support/test_support.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "canvas/start_up.h"
#include "platform/platform_state.h"

namespace nrbx::testing {

void resetCore() {
    platform::resetPlatformState();
    canvas::resetPictureToStartUp();
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t o) {
    return static_cast<std::uint16_t>(b.at(o) | b.at(o + 1) << 8);
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t o) {
    return le16(b, o) | static_cast<std::uint32_t>(le16(b, o + 2)) << 16;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

void CoreTest::SetUp() {
    resetCore();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::filesystem::temp_directory_path() /
            ("nrbx-test-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
}

void CoreTest::TearDown() {
    std::error_code ec;
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(m_dir, ec);
    resetCore();
}

}  // namespace nrbx::testing
