// The Spectrum window: the engine's spectrum over +-5.38 MHz against the adjacent channel mask.
#pragma once

#include "platform/chart.h"
#include "windows/measureframe.h"

namespace windows {
// The mask's limit (dB) at frequency f (MHz); NaN where there is none (in-band, f = -3.5 and
// from 6 MHz up).
double masklimit(double f);
// True when every point of the spectrum region is finite and stays at or below its limit.
bool masktest(const std::uint8_t* resultblock);
}  // namespace windows

class TForm_spec : public windows::MeasureFrame {
  public:
    explicit TForm_spec(windows::WindowHost& host);

    void showdata(const std::uint8_t* resultblock) override;
    void showmask(const std::uint8_t* resultblock);
    void shownosignal() override;
    void btn_saveClick() { savechart(cht_spect); }

    platform::Chart cht_spect{"cht_spect"};
    platform::Series series_std{"series_std", platform::SeriesKind::Line};
    platform::Series series_spect{"series_spect", platform::SeriesKind::Line};
    platform::Label lbl_maskcaption{"lbl_maskcaption"};
    platform::Label lbl_mask{"lbl_mask"};
    platform::Button btn_save{"btn_save"};
};
