#include "tests/retrieval/support/scripted_server.h"

#include <algorithm>
#include <chrono>

namespace corvella {
namespace {

using Steady = std::chrono::steady_clock;
// Waits are cut into slices this long so that a stop is noticed promptly.
constexpr int kSliceMs = 20;

}  // namespace

ServerConnection::ServerConnection(ScriptedServer& server, std::unique_ptr<StreamSocket> socket)
    : server_(server), socket_(std::move(socket)) {}

bool ServerConnection::stopping() const { return server_.stopping(); }

std::string ServerConnection::ReadRequest(int limitMs) {
  const auto deadline = Steady::now() + std::chrono::milliseconds(limitMs);
  char buffer[4096];
  for (;;) {
    std::size_t end = pending_.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::string request = pending_.substr(0, end + 4);
      pending_.erase(0, end + 4);
      server_.Record(request);
      return request;
    }
    if (!socket_ || stopping() || Steady::now() >= deadline) return {};
    long n;
    try {
      n = socket_->Receive(buffer, sizeof buffer, kSliceMs);
    } catch (const SocketError&) {
      return {};
    }
    if (n == 0) return {};
    if (n > 0) pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ServerConnection::Send(std::string_view bytes) {
  // In pieces, so that a stop is noticed between them.
  constexpr std::size_t kPiece = 64 * 1024;
  do {
    if (!socket_ || stopping()) return false;
    try {
      socket_->Send(bytes.substr(0, kPiece));
    } catch (const SocketError&) {
      return false;
    }
    bytes.remove_prefix(std::min(kPiece, bytes.size()));
  } while (!bytes.empty());
  return true;
}

bool ServerConnection::SendByteByByte(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!Send(bytes.substr(i, 1))) return false;
  }
  return true;
}

bool ServerConnection::Pause(int ms) { return server_.PauseFor(ms); }

void ServerConnection::Close() {
  if (socket_) socket_->Close();
  socket_.reset();
}

void ServerConnection::Reset() {
  if (socket_) socket_->Abort();
  socket_.reset();
}

bool ServerConnection::WaitForClientClose(int limitMs) {
  const auto deadline = Steady::now() + std::chrono::milliseconds(limitMs);
  char buffer[4096];
  while (socket_ && !stopping() && Steady::now() < deadline) {
    try {
      long n = socket_->Receive(buffer, sizeof buffer, kSliceMs);
      if (n == 0) return true;
      if (n > 0) pending_.append(buffer, static_cast<std::size_t>(n));
    } catch (const SocketError&) {
      return true;
    }
  }
  return false;
}

ScriptedServer::ScriptedServer() : ownSockets_(MakeSystemSocketLayer()), sockets_(*ownSockets_) {
  listener_ = sockets_.ListenLoopback(0);
  port_ = listener_->port();
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::ScriptedServer(SocketLayer& sockets) : sockets_(sockets) {
  listener_ = sockets_.ListenLoopback(0);
  port_ = listener_->port();
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() { Stop(); }

std::string ScriptedServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void ScriptedServer::Then(Script script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(script));
}

void ScriptedServer::ThenAnswer(std::vector<std::string> responses) {
  Then([responses = std::move(responses)](ServerConnection& c) {
    for (const std::string& response : responses) {
      if (c.ReadRequest().empty() || !c.Send(response)) return;
    }
  });
}

std::vector<std::string> ScriptedServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool ScriptedServer::WaitForConnections(int count, int limitMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(limitMs),
                           [&] { return connections_.load() >= count || stop_.load(); }) &&
         connections_.load() >= count;
}

void ScriptedServer::Record(std::string request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

bool ScriptedServer::PauseFor(int ms) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_.load(); });
}

void ScriptedServer::AcceptLoop() {
  while (!stop_) {
    std::unique_ptr<StreamSocket> socket;
    try {
      socket = listener_->Accept(kSliceMs);
    } catch (const SocketError&) {
      continue;
    }
    if (!socket) continue;
    Script script;
    {
      std::lock_guard lock(mutex_);
      if (nextScript_ < scripts_.size()) script = scripts_[nextScript_++];
      ++connections_;
    }
    changed_.notify_all();
    if (!script) continue;  // the socket closes here
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, script = std::move(script), socket = std::move(socket)]() mutable {
      ServerConnection connection(*this, std::move(socket));
      script(connection);
    });
  }
}

void ScriptedServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& worker : workers) worker.join();
}

}  // namespace corvella
