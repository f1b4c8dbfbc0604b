#include "daemon/metricsserver.h"

#include <httplib.h>

#include <cerrno>

#include "platform/oserror.h"

namespace watch {

MetricsServer::MetricsServer(const MetricsBoard& board)
    : board_(board), server_(std::make_unique<httplib::Server>()) {
    server_->Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(board_.render(), "text/plain; version=0.0.4; charset=utf-8");
    });
    server_->Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("korvin-monitor: metrics at /metrics\n", "text/plain; charset=utf-8");
    });
}

MetricsServer::~MetricsServer() {
    stop();
}

bool MetricsServer::start(const std::string& address, int port, std::string& error) {
    errno = 0;
    port_ = port == 0 ? server_->bind_to_any_port(address) : port;
    if (port_ < 0 || (port != 0 && !server_->bind_to_port(address, port))) {
        error = "cannot listen on " + address + ":" + std::to_string(port) +
                (errno != 0 ? ": " + platform::oserrortext(errno) : std::string());
        return false;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return true;
}

void MetricsServer::stop() {
    if (!thread_.joinable()) return;
    server_->stop();
    thread_.join();
}

}  // namespace watch
