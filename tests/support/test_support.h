#pragma once
// Helpers shared by the core tests: a scratch folder, file bytes, and a clean program state per test.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace nrbx::testing {

// Puts every module of the core back to its start-up state, then runs the window's start-up steps
// that concern the core (white images, default palette).
void resetCore();

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint16_t le16(const std::vector<std::uint8_t>& bytes, std::size_t offset);

bool runningAsRoot();

// A fresh core state and an empty scratch folder, removed after the test.
class CoreTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path file(const std::string& name) const { return m_dir / name; }
    const std::filesystem::path& dir() const { return m_dir; }

  private:
    std::filesystem::path m_dir;
};

}  // namespace nrbx::testing
