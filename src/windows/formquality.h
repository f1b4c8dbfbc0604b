// The Signal Quality window: the analyser's figures of the latest locked capture beside their
// limits, the echo profile, and the CCDF of the capture's power against an ideal 8-VSB signal's.
#pragma once

#include <array>

#include "engine/resultlayout.h"
#include "platform/chart.h"
#include "windows/measureframe.h"

class TForm_quality : public windows::MeasureFrame {
  public:
    // The table's rows, top to bottom.
    enum Row : std::size_t {
        Pilot,
        Carrier,
        SymbolRate,
        MerEqualised,
        MerUnequalised,
        Evm,
        Echo,
        Papr,
        Mask,
        MaskMargin,
        Spurs,
        RowCount
    };
    static constexpr std::size_t kSpurLines = 5;  // spurs listed; the count says how many more

    explicit TForm_quality(windows::WindowHost& host);

    void showdata(const std::uint8_t* resultblock) override;
    void shownosignal() override;
    void mbtn_saveClick(platform::MenuItem& item);

    platform::Chart cht_echo{"cht_echo"};
    platform::Series series_echo{"series_echo", platform::SeriesKind::Line};
    platform::Chart cht_ccdf{"cht_ccdf"};
    platform::Series series_ccdf_ideal{"series_ccdf_ideal", platform::SeriesKind::Line};
    platform::Series series_ccdf{"series_ccdf", platform::SeriesKind::Line};

    platform::Label lbl_valueheading{"lbl_valueheading"}, lbl_limitheading{"lbl_limitheading"};
    std::array<platform::Label, RowCount> lbl_rows{
        platform::Label{"lbl_row_pilot"},          platform::Label{"lbl_row_carrier"},
        platform::Label{"lbl_row_symbolrate"},     platform::Label{"lbl_row_merequalised"},
        platform::Label{"lbl_row_merunequalised"}, platform::Label{"lbl_row_evm"},
        platform::Label{"lbl_row_echo"},           platform::Label{"lbl_row_papr"},
        platform::Label{"lbl_row_mask"},           platform::Label{"lbl_row_margin"},
        platform::Label{"lbl_row_spurs"}};
    // The measured values, in the order of Row.
    std::array<platform::Label, RowCount> lbl_values{
        platform::Label{"lbl_pilot"},          platform::Label{"lbl_carrier"},
        platform::Label{"lbl_symbolrate"},     platform::Label{"lbl_merequalised"},
        platform::Label{"lbl_merunequalised"}, platform::Label{"lbl_evm"},
        platform::Label{"lbl_echo"},           platform::Label{"lbl_papr"},
        platform::Label{"lbl_mask"},           platform::Label{"lbl_margin"},
        platform::Label{"lbl_spurs"}};
    platform::Label lbl_carrierlimit{"lbl_carrierlimit"};
    platform::Label lbl_symbolratelimit{"lbl_symbolratelimit"};
    platform::Label lbl_merlimit{"lbl_merlimit"};
    std::array<platform::Label, kSpurLines> lbl_spurlines{
        platform::Label{"lbl_spur1"}, platform::Label{"lbl_spur2"}, platform::Label{"lbl_spur3"},
        platform::Label{"lbl_spur4"}, platform::Label{"lbl_spur5"}};

    platform::MenuButton mbtn_save{"mbtn_save"};
    platform::Menu pm1{"pm1"};
    platform::MenuItem mni_SaveEcho{"mni_SaveEcho", "Save Echo"};
    platform::MenuItem mni_SaveCcdf{"mni_SaveCcdf", "Save CCDF"};
    platform::MenuItem mni_SaveBoth{"mni_SaveBoth", "Save Both"};

  private:
    void setupcharts();
    void layouttable();
    void plotcurves(const std::uint8_t* block);
    void showfigures(const std::uint8_t* block);
    void showspurs(const std::uint8_t* block);
    // Every figure "--", the spur list empty and the curves gone; `nosignal` puts "No signal"
    // into the mask row.
    void clearfigures(bool nosignal);
    // A value against its limit: red outside it.
    void showlimited(Row row, double v, const char* unit, int decimals, bool within);
};
