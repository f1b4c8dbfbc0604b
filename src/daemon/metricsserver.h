// The metrics endpoint: GET /metrics answers the board's figures in the Prometheus text format,
// from a thread of its own, so a slow scraper never holds up the exciters.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "daemon/metrics.h"

namespace httplib {
class Server;
}

namespace watch {

class MetricsServer {
  public:
    explicit MetricsServer(const MetricsBoard& board);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds and starts serving; false with the reason when the address cannot be bound.
    // Port 0 takes a free port (see port()).
    bool start(const std::string& address, int port, std::string& error);
    int port() const { return port_; }
    void stop();

  private:
    const MetricsBoard& board_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace watch
