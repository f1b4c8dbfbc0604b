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

}  // namespace resultlayout
