// The Constellation window: the engine's constellation points as blue dots.
#pragma once

#include <memory>

#include "platform/chart.h"
#include "windows/measureframe.h"

class TForm_ste : public windows::MeasureFrame {
  public:
    explicit TForm_ste(windows::WindowHost& host);
    ~TForm_ste() override;

    void showdata(const std::uint8_t* resultblock) override;
    void btn_saveClick() { savechart(cht_stel); }

    platform::Chart cht_stel{"cht_stel"};
    platform::Button btn_save{"btn_save"};
    // Created at creation, freed when the window closes.
    std::unique_ptr<platform::Series> series_stel;

  protected:
    void freeseries() override;
};
