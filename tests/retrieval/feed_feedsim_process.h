// Runs tools/feedsim for a test: started on a free port, ended with the test.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvella::testing_feedsim {

class FeedsimProcess {
 public:
  explicit FeedsimProcess(std::vector<std::string> options) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> args = {FEEDSIM_PATH, "--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives a crashed test
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    // The first line names the port.
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    if (std::sscanf(line.c_str(), "listening 127.0.0.1:%d", &port_) != 1) {
      Stop();
      throw std::runtime_error("feedsim did not start: " + line);
    }
  }
  ~FeedsimProcess() { Stop(); }
  FeedsimProcess(const FeedsimProcess&) = delete;
  FeedsimProcess& operator=(const FeedsimProcess&) = delete;

  int port() const { return port_; }

 private:
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace corvella::testing_feedsim
