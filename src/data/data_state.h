#pragma once
// The reset of every module state of the data level, for tests.

namespace nrbx::data {

// Pattern buffer, cell grid and palette all zero.
void resetDataState();

}  // namespace nrbx::data
