// The Spectrum window: the engine's spectrum over +-5.38 MHz against the adjacent channel mask,
// with the point of least room under the mask marked.
#pragma once

#include "engine/verdicts.h"
#include "platform/chart.h"
#include "windows/measureframe.h"

namespace windows {
using verdicts::masklimit;
using verdicts::masktest;
using verdicts::maskworstpoint;
using verdicts::WorstPoint;
}  // namespace windows

class TForm_spec : public windows::MeasureFrame {
  public:
    explicit TForm_spec(windows::WindowHost& host);

    void showdata(const std::uint8_t* resultblock) override;
    void showmask(const std::uint8_t* resultblock);
    void shownosignal() override;
    // The worst margin as text and as a marker on the chart; "--" and no marker when `block` is
    // null or holds no margin. The caller repaints.
    void showmargin(const std::uint8_t* resultblock);
    void btn_saveClick() { savechart(cht_spect); }

    platform::Chart cht_spect{"cht_spect"};
    platform::Series series_std{"series_std", platform::SeriesKind::Line};
    platform::Series series_spect{"series_spect", platform::SeriesKind::Line};
    platform::Series series_worst{"series_worst", platform::SeriesKind::Point};
    platform::Label lbl_maskcaption{"lbl_maskcaption"};
    platform::Label lbl_mask{"lbl_mask"};
    platform::Label lbl_margincaption{"lbl_margincaption"};
    platform::Label lbl_margin{"lbl_margin"};
    platform::Button btn_save{"btn_save"};
};
