// The Amplitude flatness and group delay window: frequency response and group delay errors over
// +-3 MHz against their masks, the engine's ten figures and a verdict per mask.
#pragma once

#include <array>

#include "engine/resultlayout.h"
#include "platform/chart.h"
#include "windows/measureframe.h"

class TForm_amp : public windows::MeasureFrame {
  public:
    explicit TForm_amp(windows::WindowHost& host);

    void showdata(const std::uint8_t* resultblock) override;
    void showresult(const std::uint8_t* resultblock, bool freqpass, bool grouppass);
    void shownosignal() override;
    void mbtn_saveClick(platform::MenuItem& item);

    platform::Chart cht_freq{"cht_freq"};
    platform::Series series_freq_high{"series_freq_high", platform::SeriesKind::Line};
    platform::Series series_freq_low{"series_freq_low", platform::SeriesKind::Line};
    platform::Series series_freq{"series_freq", platform::SeriesKind::Line};
    platform::Chart cht_group{"cht_group"};
    platform::Series series_group_high{"series_group_high", platform::SeriesKind::Line};
    platform::Series series_group_low{"series_group_low", platform::SeriesKind::Line};
    platform::Series series_group{"series_group", platform::SeriesKind::Line};

    // The figures block: row captions, then frequency and level columns.
    platform::Label lbl_freqheading{"lbl_freqheading"}, lbl_levelheading{"lbl_levelheading"};
    platform::Label lbl_rows[8] = {
        platform::Label{"lbl_row_freq_max"},  platform::Label{"lbl_row_freq_min"},
        platform::Label{"lbl_row_freq_pk"},   platform::Label{"lbl_row_group_max"},
        platform::Label{"lbl_row_group_min"}, platform::Label{"lbl_row_group_pk"},
        platform::Label{"lbl_row_freq_mask"}, platform::Label{"lbl_row_group_mask"}};
    platform::Label lbl_freq_max_freq{"lbl_freq_max_freq"},
        lbl_freq_max_level{"lbl_freq_max_level"};
    platform::Label lbl_freq_min_freq{"lbl_freq_min_freq"},
        lbl_freq_min_level{"lbl_freq_min_level"};
    platform::Label lbl_freq_pk{"lbl_freq_pk"};
    platform::Label lbl_group_max_freq{"lbl_group_max_freq"};
    platform::Label lbl_group_max_level{"lbl_group_max_level"};
    platform::Label lbl_group_min_freq{"lbl_group_min_freq"};
    platform::Label lbl_group_min_level{"lbl_group_min_level"};
    platform::Label lbl_group_pk{"lbl_group_pk"};
    platform::Label lbl_freq_mask{"lbl_freq_mask"}, lbl_group_mask{"lbl_group_mask"};

    platform::MenuButton mbtn_save{"mbtn_save"};
    platform::Menu pm1{"pm1"};
    platform::MenuItem mni_SaveFreq{"mni_SaveFreq", "Save Freq"};
    platform::MenuItem mni_SaveGroup{"mni_SaveGroup", "Save Group"};
    platform::MenuItem mni_SaveBoth{"mni_SaveBoth", "Save Both"};

  private:
    // The ten figure labels in the order of the result block's figures.
    std::array<platform::Label*, resultlayout::kFigureCount> figurelabels();
    void setupcharts();
    void layoutfigures();
    void drawmask();
};
