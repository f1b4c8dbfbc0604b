// The monitor file: where the metrics are published and which exciters to watch, how often.
//
//   [monitor]
//   listen = 127.0.0.1      ; address of the metrics endpoint (loopback unless said otherwise)
//   port = 9810             ; 0 takes a free port, named on standard error at start
//   history = /var/lib/korvin-monitor/   ; folder of the daily SNR/IMD files, if any are kept
//   recordings = /var/lib/korvin-monitor/recordings  ; where captures are kept as SigMF
//   recordings_mb = 1024    ; the most disk they may take; the oldest go first
//   mer_threshold = 25      ; a capture whose MER is lower is kept (dB)
//   keep_every = 0          ; also keep every Nth capture of each exciter (0: only the bad)
//
//   [exciter site-a]        ; one section per exciter; the name labels its metrics
//   address = 192.168.1.100
//   port = 5700
//   status = 10             ; seconds between status blocks
//   capture = 60            ; seconds between captures
//   history = yes           ; keep this exciter's daily SNR/IMD files
#pragma once

#include <string>
#include <vector>

namespace watch {

struct ExciterConfig {
    std::string name;
    std::string address;
    int port = 5700;
    int statusevery = 10;   // seconds
    int captureevery = 60;  // seconds
    bool history = false;
};

struct MonitorConfig {
    std::string listen = "127.0.0.1";
    int port = 9810;
    std::string historyfolder;
    std::string recordingsfolder;  // empty: no recordings
    int recordingsmb = 1024;
    int merthreshold = 25;
    int keepevery = 0;
    std::vector<ExciterConfig> exciters;
};

// Reads the monitor file. On the first error, false with one line in `error` that names the
// file and the line ("monitor.ini:12: ...").
bool readmonitorfile(const std::string& path, MonitorConfig& config, std::string& error);
// The same from the file's text; `name` is what error lines call it.
bool parsemonitorfile(const std::string& text, const std::string& name, MonitorConfig& config,
                      std::string& error);

}  // namespace watch
