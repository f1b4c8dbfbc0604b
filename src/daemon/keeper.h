// Keeps captures as SigMF recordings in one folder, within a cap on the disk they take: after
// each recording the oldest go until the rest fit.
#pragma once

#include <cstdint>
#include <string>

#include "records/sigmf.h"

namespace watch {

class Keeper {
  public:
    Keeper(std::string folder, std::uint64_t capbytes);
    // Writes EXCITER-YYYYMMDDTHHMMSSmmmZ.sigmf-{data,meta}; false (logged by the caller) when it
    // could not.
    bool keep(const std::uint8_t* capture, const records::Facts& facts, std::string& error);
    const std::string& folder() const { return folder_; }

  private:
    void prune();

    std::string folder_;
    std::uint64_t capbytes_;
};

// Now as ISO 8601 UTC with milliseconds.
std::string utcnow();

}  // namespace watch
