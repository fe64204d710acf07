// A loopback HTTP server for tests that answers with exact bytes: each accepted connection
// runs the next script given to Then(), on a thread of its own. Scripts can dribble, stall,
// close early or reset. Every wait ends when the server stops, so a failing test never hangs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "retrieval/socket.h"

namespace corvella {

class ScriptedServer;

// One accepted connection. No call throws: a call that fails because the client has gone
// returns false (or "").
class ServerConnection {
 public:
  ServerConnection(ScriptedServer& server, std::unique_ptr<StreamSocket> socket);

  // Reads one request head, through its empty line; "" when the client closed first or
  // nothing complete came within `limitMs`. Recorded in ScriptedServer::requests().
  std::string ReadRequest(int limitMs = 10000);
  bool Send(std::string_view bytes);
  // Each byte in a write of its own.
  bool SendByteByByte(std::string_view bytes);
  // Waits; returns early (false) when the server stops.
  bool Pause(int ms);
  // Orderly close.
  void Close();
  // Abortive close: the client reads a reset.
  void Reset();
  // Waits until the client closes the connection; false when it did not within `limitMs`.
  bool WaitForClientClose(int limitMs = 10000);
  bool stopping() const;

 private:
  ScriptedServer& server_;
  std::unique_ptr<StreamSocket> socket_;
  std::string pending_;
};

class ScriptedServer {
 public:
  using Script = std::function<void(ServerConnection&)>;

  // Listens on 127.0.0.1 at a free port and accepts at once.
  explicit ScriptedServer(SocketLayer& sockets);
  ScriptedServer();  // over the system's sockets
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path
  std::string Url(std::string_view path = "/") const;

  // The script for the next connection still without one. A connection accepted when no
  // script is left is closed at once. After a script returns, its connection is closed.
  void Then(Script script);
  // A connection that reads one request and sends one response for each of `responses`.
  void ThenAnswer(std::vector<std::string> responses);

  // The request heads received so far, in order.
  std::vector<std::string> requests() const;
  int connections() const { return connections_.load(); }
  // Waits until `count` connections have been accepted.
  bool WaitForConnections(int count, int limitMs = 10000);

  // Ends every script's waits and joins all threads (also done by the destructor).
  void Stop();
  bool stopping() const { return stop_.load(); }

 private:
  friend class ServerConnection;
  void AcceptLoop();
  void Record(std::string request);
  bool PauseFor(int ms);

  std::unique_ptr<SocketLayer> ownSockets_;
  SocketLayer& sockets_;
  std::unique_ptr<ListeningSocket> listener_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Script> scripts_;
  std::size_t nextScript_ = 0;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace corvella
