// exciter-sim: a stand-in exciter for the KORVIN client's demo and tests.
#include <csignal>
#include <cstdio>
#include <memory>

#include "options.h"
#include "server.h"
#include "session.h"
#include "source.h"

namespace {

// One record line, flushed at once so that a reader sees it as soon as it happens.
void writeline(std::FILE* out, const std::string& line) {
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
    sim::Options options;
    std::string error;
    if (!sim::parseoptions({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "exciter-sim: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::helptext().c_str(), stdout);
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
    if (!options.record.empty()) {
        file.reset(std::fopen(options.record.c_str(), "w"));
        if (!file) {
            std::perror(("exciter-sim: " + options.record).c_str());
            return 1;
        }
    }
    std::FILE* out = file ? file.get() : stdout;
    const auto record = [out](const std::string& line) { writeline(out, line); };

    vsb::Generator generator(options.seed, options.impairments);
    const sim::StatusBlock status = options.status.value_or(sim::statusfigures(generator));
    const auto capture = [&generator](std::uint8_t* bytes, std::size_t n) {
        generator.capture(bytes, n / 4);
    };
    sim::Session session(options, capture, status, record);
    sim::Server server(session, record);
    if (!server.listen(options.bind, options.port, error)) {
        std::fprintf(stderr, "exciter-sim: %s\n", error.c_str());
        return 1;
    }
    writeline(stdout, "listening " + server.address() + ":" + std::to_string(server.port()));
    server.run(options.maxseconds);
    return 0;
}
