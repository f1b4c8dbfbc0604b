// The Spectrum window: the engine's spectrum over +-5.38 MHz against the adjacent channel mask.
#pragma once

#include "engine/verdicts.h"
#include "platform/chart.h"
#include "windows/measureframe.h"

namespace windows {
using verdicts::masklimit;
using verdicts::masktest;
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
