// Captures kept as SigMF 1.0 recordings: NAME.sigmf-data holds the 8,192 complex samples as the
// exciter sent them (16-bit I then Q, little-endian: "ci16_le"), NAME.sigmf-meta the JSON that
// says what they are, when and where they were taken, what the exciter claimed and what the
// engine measured. Tools that read SigMF (GNU Radio, inspectrum, ...) open them as they are.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "engine/verdicts.h"

namespace records {

inline constexpr std::size_t kSamples = 8192;
inline constexpr std::size_t kDataBytes = kSamples * 4;
inline constexpr double kSampleRate = 10762238;  // the exciter's capture rate (Hz)

// What a recording says besides its samples.
struct Facts {
    std::string datetime;  // ISO 8601 UTC, "2026-12-10T03:00:00.000Z"
    std::string recorder;  // "korvin-monitor 1.0.7.0", ...
    std::string exciter;   // the exciter's name, if it has one
    std::string address;   // "ADDR:PORT", if known
    bool hasstatus = false;
    std::array<std::uint8_t, 4> status{};  // the exciter's status block (half decibels)
    bool measured = false;                 // the engine ran on it
    int engineresult = 0;                  // what the engine returned
    verdicts::Judgement judgement;
};

struct Recording {
    std::vector<std::uint8_t> capture;  // kDataBytes
    Facts facts;
};

// The two file names of a recording from either of them or from the base name.
std::string basename(const std::string& path);

// Writes base.sigmf-data and base.sigmf-meta. The data goes first and the metadata last, each
// complete on disk before it is renamed into place, so a recording exists (its .sigmf-meta)
// only once both files are whole. False with the reason otherwise; data written for metadata
// that could not be is removed again.
bool writerecording(const std::string& base, const std::uint8_t* capture, const Facts& facts,
                    std::string& error);
// Reads a recording back; false with one line naming the file and what is wrong with it.
bool readrecording(const std::string& path, Recording& out, std::string& error);
// A capture's time as its metadata writes it: ISO 8601 UTC with milliseconds,
// "2026-12-10T03:00:00.123Z".
std::string isodatetime(std::time_t seconds, int milliseconds);

// The metadata's JSON text.
std::string metatext(const Facts& facts);
// The figures and verdicts of a locked judgement as JSON members named `prefix` + "mer_db",
// "flatness_pp_db", "group_delay_pp_ns", "mask_margin_db", "mask_pass", "flatness_pass",
// "group_delay_pass"; with the engine's measures (`j.measures.present`) also "pilot_level_db",
// "carrier_offset_hz", "symbol_rate_error_ppm", "mer_unequalised_db", "evm_percent",
// "largest_echo_db", "largest_echo_us", "papr_db", "mask_integrated_pass",
// "mask_integrated_margin_db" and "spurs" (a list of {"mhz", "dbc"}), left out without them.
// A figure that is not finite is null (JSON has no NaN).
void putjudgement(nlohmann::json& into, const verdicts::Judgement& j, const std::string& prefix);

}  // namespace records
