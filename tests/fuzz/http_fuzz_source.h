// Fuzz input as a response stream: the first byte picks how many bytes each read hands
// out, so that the fuzzer also explores how a response is split across reads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "retrieval/http_reader.h"

namespace corvella {

class FuzzSource : public ByteSource {
 public:
  FuzzSource(const uint8_t* data, std::size_t size) {
    if (size > 0) {
      step_ = std::size_t{1} + data[0] % 64;
      bytes_.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    }
  }
  std::size_t Read(char* buffer, std::size_t size) override {
    std::size_t n = std::min({size, step_, bytes_.size() - pos_});
    bytes_.copy(buffer, n, pos_);
    pos_ += n;
    return n;
  }

 private:
  std::string bytes_;
  std::size_t step_ = 1;
  std::size_t pos_ = 0;
};

}  // namespace corvella
