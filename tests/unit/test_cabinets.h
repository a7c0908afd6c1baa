#pragma once

#include <fstream>
#include <iterator>
#include <string>

// The bytes of a cabinet that the test setup built with gcab (tests/unit/cabinets/make_test_cabinets.sh).
inline std::string ReadCabinet(const std::string& name) {
  std::ifstream file(std::string(TEST_CABINET_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
