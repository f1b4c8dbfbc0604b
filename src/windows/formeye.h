// The Eye-diagram window: 200 traces of two symbol periods overlaid.
#pragma once

#include <memory>
#include <vector>

#include "platform/chart.h"
#include "windows/measureframe.h"

class TForm_eye : public windows::MeasureFrame {
  public:
    explicit TForm_eye(windows::WindowHost& host);
    ~TForm_eye() override;

    void showdata(const std::uint8_t* resultblock) override;
    void btn_saveClick() { savechart(cht_eye); }

    platform::Chart cht_eye{"cht_eye"};
    platform::Button btn_save{"btn_save"};
    // The traces in order; attached to the chart by the first result, freed on closing.
    std::vector<std::unique_ptr<platform::Series>> traces;

  protected:
    void freeseries() override;
};
