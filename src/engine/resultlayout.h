// Byte layout of the engine's result block. Every value is a little-endian IEEE 754 double.
// The engine writes it and the windows read it; nothing else computes an offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace resultlayout {

constexpr std::size_t kBlockSize = 2097152;
constexpr std::size_t kSampleCount = 16384;  // int32 elements of the sample block

constexpr std::size_t kConstellationOffset = 0;  // 3400 points: x (real), y (imaginary)
constexpr std::size_t kConstellationPoints = 3400;
constexpr std::size_t kEyeOffset = 65544;  // 200 traces of 22 amplitudes
constexpr std::size_t kEyeTraces = 200;
constexpr std::size_t kEyePointsPerTrace = 22;
constexpr std::size_t kSpectrumOffset = 786448;  // 4096 levels, dB
constexpr std::size_t kSpectrumPoints = 4096;
constexpr std::size_t kFreqErrorOffset = 819224;   // 2048 errors, dB
constexpr std::size_t kGroupErrorOffset = 852000;  // 2048 errors, ns
constexpr std::size_t kResponsePoints = 2048;
constexpr std::size_t kFiguresOffset = 884776;  // 10 doubles
constexpr std::size_t kFigureCount = 10;

// The engine's own diagnostics, never read by the windows: MER (dB), carrier offset (Hz),
// carrier phase (rad), timing offset (symbols), equaliser gain, pilot level (dB) ...
constexpr std::size_t kDiagnosticsOffset = 1048576;
constexpr std::size_t kDiagnosticCount = 16;

enum Figure : std::size_t {
    FreqMaxFreq = 0,
    FreqMax,
    FreqMinFreq,
    FreqMin,
    FreqPkPk,
    GroupMaxFreq,
    GroupMax,
    GroupMinFreq,
    GroupMin,
    GroupPkPk,
};

enum Diagnostic : std::size_t {
    MerDb = 0,
    CarrierOffsetHz,
    CarrierPhaseRad,
    TimingOffsetSymbols,
    EqualiserGain,
    PilotLevelDb,
    ChannelPowerDb,
    ModelTaps,  // length of the channel estimate the engine chose for this capture
    // What the lock decision rests on:
    PilotProminenceDb,  // the pilot line over the spectrum around it
    TimingContrast,     // spread of the decision error over the symbol phases, relative
    LevelKurtosis,      // of the equalised levels: 1.76 for eight clean levels, 3 for noise
    ChannelFraction,    // power within the channel over the whole capture's
};

// The engine's word on whether the capture held an 8-VSB signal it could lock (pilot found,
// carrier, timing and levels locked, an eye a receiver could decide). It has an area of its own,
// beyond everything the windows plot: at 1048832 (0x100100) the 8-byte marker "KVLOCK01", at
// +8 the lock state as a double (1.0 locked, 0.0 not), at +16 the reason (a LockReason as a
// double). This engine writes it on every call that returns 0; a capture without a signal still
// returns 0 with plots of whatever it held (the debug mode's noise moves the plots), and the
// windows give no verdict on it. An engine that does not write the area leaves the marker out
// (the block starts zeroed), and its results are taken as locked, as they always were.
constexpr std::size_t kLockOffset = 1048832;  // 0x100100
constexpr std::size_t kLockStateOffset = kLockOffset + 8;
constexpr std::size_t kLockReasonOffset = kLockOffset + 16;
constexpr char kLockMarker[8] = {'K', 'V', 'L', 'O', 'C', 'K', '0', '1'};

// Why a capture was not locked (the engine looks at the pilot, the channel, the symbol clock
// and the eye in turn, and names the first that fails); written as a double at
// kLockReasonOffset.
enum class LockReason : int {
    Locked = 0,
    NoPilot = 1,    // no pilot line stands out of the spectrum (noise, DC, an impulse, a CW)
    NoTiming = 2,   // no symbol clock (a CW or a harmonic where the pilot belongs, with no symbols)
    EyeClosed = 3,  // the levels do not form the 8-level pattern a receiver could decide
    NotVsb = 4,     // most of the power lies outside the channel
    NoSegmentSync = 5,  // no segment sync (+5 -5 -5 +5) every 832 symbols: not 8-VSB data
};

inline double read(const std::uint8_t* block, std::size_t offset) {
    double v;
    std::memcpy(&v, block + offset, sizeof v);
    return v;
}
inline void write(std::uint8_t* block, std::size_t offset, double v) {
    std::memcpy(block + offset, &v, sizeof v);
}

inline double constellationx(const std::uint8_t* b, std::size_t i) {
    return read(b, kConstellationOffset + 16 * i);
}
inline double constellationy(const std::uint8_t* b, std::size_t i) {
    return read(b, kConstellationOffset + 16 * i + 8);
}
inline double eye(const std::uint8_t* b, std::size_t trace, std::size_t j) {
    return read(b, kEyeOffset + 8 * (kEyePointsPerTrace * trace + j));
}
inline double spectrum(const std::uint8_t* b, std::size_t i) {
    return read(b, kSpectrumOffset + 8 * i);
}
inline double freqerror(const std::uint8_t* b, std::size_t i) {
    return read(b, kFreqErrorOffset + 8 * i);
}
inline double grouperror(const std::uint8_t* b, std::size_t i) {
    return read(b, kGroupErrorOffset + 8 * i);
}
inline double figure(const std::uint8_t* b, Figure f) {
    return read(b, kFiguresOffset + 8 * static_cast<std::size_t>(f));
}
inline double diagnostic(const std::uint8_t* b, Diagnostic d) {
    return read(b, kDiagnosticsOffset + 8 * static_cast<std::size_t>(d));
}

inline bool haslockarea(const std::uint8_t* b) {
    return std::memcmp(b + kLockOffset, kLockMarker, sizeof kLockMarker) == 0;
}
// True unless the engine wrote its lock area and said it did not lock.
inline bool locked(const std::uint8_t* b) {
    return !haslockarea(b) || read(b, kLockStateOffset) == 1.0;
}
inline void writelock(std::uint8_t* b, LockReason reason) {
    std::memcpy(b + kLockOffset, kLockMarker, sizeof kLockMarker);
    write(b, kLockStateOffset, reason == LockReason::Locked ? 1.0 : 0.0);
    write(b, kLockReasonOffset, static_cast<double>(reason));
}

// The figures an analyser shows besides the plots, in an area of the engine's own after the lock
// area: at 1049088 (0x100200) the 8-byte marker "KVMEAS01", then kMeasureCount doubles (a
// Measure each). Beside it: the discrete spurs found (kMaxSpurs pairs of MHz from the channel
// centre and dBc, the first SpurCount of them valid, strongest first), the echo profile (the
// channel's impulse response, dB relative to the main path, at one point a symbol from -128 to
// +128 symbols, about +-11.9 us) and the complementary cumulative distribution of the
// capture's power (the fraction of samples whose power lies more than x dB above the mean, x
// from 0 to 12 dB in 0.1 dB steps) with the same curve for an ideal 8-VSB signal. Like the
// lock area, an engine without them leaves the marker out, and nothing there is read then; the
// values stand only for a locked capture.
constexpr std::size_t kMeasuresOffset = 1049088;  // 0x100200
constexpr std::size_t kMeasureCount = 16;
constexpr char kMeasuresMarker[8] = {'K', 'V', 'M', 'E', 'A', 'S', '0', '1'};
constexpr std::size_t kSpursOffset = 1049344;  // 0x100300
constexpr std::size_t kMaxSpurs = 16;
constexpr std::size_t kEchoProfileOffset = 1049600;  // 0x100400
constexpr std::size_t kEchoProfileHalf = 128;        // symbols either side of the main path
constexpr std::size_t kEchoProfilePoints = 2 * kEchoProfileHalf + 1;
constexpr std::size_t kCcdfOffset = 1052672;       // 0x101000
constexpr std::size_t kCcdfIdealOffset = 1053696;  // 0x101400
constexpr std::size_t kCcdfPoints = 121;
constexpr double kCcdfStepDb = 0.1;

enum Measure : std::size_t {
    PilotLevelRelDb = 0,     // pilot relative to its nominal 1.25 on the symbol levels, dB
    CarrierFrequencyHz,      // carrier offset from the nominal channel centre, Hz
    SymbolRateErrorPpm,      // symbol clock relative to 10.762238 MHz, parts per million
    MerEqualisedDb,          // MER after the equaliser
    MerUnequalisedDb,        // MER a receiver without an equaliser sees (gain and phase only)
    EvmPercent,              // RMS error vector over the RMS of the levels, after the equaliser
    LargestEchoDb,           // strongest echo outside the main path, dB relative to it
    LargestEchoUs,           // its delay, us (negative: a pre-echo)
    PaprDb,                  // power exceeded by 0.1 % of the samples, dB over the mean
    MaskIntegratedPass,      // 1.0 when the 500 kHz integrated powers stay within the mask
    MaskIntegratedMarginDb,  // smallest room to the mask, dB (negative: fails)
    MaskIntegratedWorstMHz,  // the window centre where that room is smallest
    SpurCount,               // spurs written at kSpursOffset
};

inline bool hasmeasures(const std::uint8_t* b) {
    return std::memcmp(b + kMeasuresOffset, kMeasuresMarker, sizeof kMeasuresMarker) == 0;
}
inline double measure(const std::uint8_t* b, Measure m) {
    return read(b, kMeasuresOffset + 8 + 8 * static_cast<std::size_t>(m));
}
inline void writemeasure(std::uint8_t* b, Measure m, double v) {
    write(b, kMeasuresOffset + 8 + 8 * static_cast<std::size_t>(m), v);
}
inline void writemeasuresmarker(std::uint8_t* b) {
    std::memcpy(b + kMeasuresOffset, kMeasuresMarker, sizeof kMeasuresMarker);
}
inline double spurmhz(const std::uint8_t* b, std::size_t i) {
    return read(b, kSpursOffset + 16 * i);
}
inline double spurdbc(const std::uint8_t* b, std::size_t i) {
    return read(b, kSpursOffset + 16 * i + 8);
}
inline double echoprofile(const std::uint8_t* b, std::size_t i) {
    return read(b, kEchoProfileOffset + 8 * i);
}
inline double ccdf(const std::uint8_t* b, std::size_t i) {
    return read(b, kCcdfOffset + 8 * i);
}
inline double ccdfideal(const std::uint8_t* b, std::size_t i) {
    return read(b, kCcdfIdealOffset + 8 * i);
}

// x positions on the charts follow from the index, not from the block.
inline double eyex(std::size_t j) {
    return 1.0 + (static_cast<double>(j) - 5.0) / 11.0;
}
inline double spectrumx(std::size_t i) {
    return i * 5.38 * 2 / 4095 - 5.38;
}
inline double responsex(std::size_t i) {
    return -3.0 + 6.0 * i / 2048;
}
inline double echoprofilex(std::size_t i) {  // us
    return (static_cast<double>(i) - static_cast<double>(kEchoProfileHalf)) / 10.762238;
}
inline double ccdfx(std::size_t i) {  // dB above the mean power
    return kCcdfStepDb * static_cast<double>(i);
}

}  // namespace resultlayout
