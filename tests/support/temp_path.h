// A file name of a test's own in the temporary folder: the process id, a per-process count and
// a random number keep two tests, or two whole runs on one machine, from sharing a file. The
// file is removed when the TempPath goes.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <process.h>
#define CORVELLA_TEST_PID _getpid()
#else
#include <unistd.h>
#define CORVELLA_TEST_PID getpid()
#endif

namespace corvella::testing_support {

inline std::string UniqueTempName(std::string_view stem) {
  static std::atomic<unsigned> count{0};
  static const unsigned salt = std::random_device{}();
  return ::testing::TempDir() + std::string(stem) + "-" + std::to_string(CORVELLA_TEST_PID) + "-" +
         std::to_string(salt) + "-" + std::to_string(count++);
}

class TempPath {
 public:
  explicit TempPath(std::string_view stem) : path_(UniqueTempName(stem)) {}
  ~TempPath() { std::remove(path_.c_str()); }
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;
  const std::string& str() const { return path_; }
  operator const std::string&() const { return path_; }

 private:
  std::string path_;
};

}  // namespace corvella::testing_support

#undef CORVELLA_TEST_PID
