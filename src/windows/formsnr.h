// The IMD and SNR window: the last 600 status blocks as three curves against the reference
// lines, with JPEG and text export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/chart.h"
#include "windows/measureframe.h"

// The ring of the last status blocks with their arrival times; one per process, since only one
// IMD and SNR window can be open. Cleared by each new window.
struct SnrHistory {
    static constexpr std::size_t kSize = 600;
    double stamps[kSize];  // days since 1899-12-30, local time
    std::uint8_t snr[kSize];
    std::uint8_t limd[kSize];
    std::uint8_t uimd[kSize];
    std::uint32_t pos;  // the slot the next entry goes to
    bool wrapped;       // the ring has filled at least once

    void clear();
    void add(double stamp, const std::uint8_t* status);
    std::size_t count() const { return wrapped ? kSize : pos; }
    // The slot of the k-th oldest entry.
    std::size_t slot(std::size_t k) const { return wrapped ? (pos + k) % kSize : k; }
};
extern SnrHistory snrhistory;

class TForm_snr : public windows::MeasureFrame {
  public:
    explicit TForm_snr(windows::WindowHost& host);
    ~TForm_snr() override;

    void showdata(const std::uint8_t*) override {}
    void showstatus(const std::uint8_t* statusblock) override;
    void msaveClick(platform::MenuItem& item);
    // Writes the history, oldest first, in the SNR/IMD line format.
    void savetxt(const std::string& file);

    platform::Chart cht_snr_imd{"cht_snr_imd"};
    platform::Series series_std_imd{"series_std_imd", platform::SeriesKind::Line};
    platform::Series series_std_snr{"series_std_snr", platform::SeriesKind::Line};
    std::unique_ptr<platform::Series> series_snr, series_limd, series_uimd;

    platform::MenuButton mbtn_save{"mbtn_save"};
    platform::Menu pm1{"pm1"};
    platform::MenuItem n_form{"n_form", "Save to Jpg"};
    platform::MenuItem N_VALUE{"N_VALUE", "Save to Txt"};
    platform::MenuItem N_ALL{"N_ALL", "Save Both"};

  protected:
    void freeseries() override;

  private:
    void setupchart();
    void replot();
    void savetext();
    void saveboth();
};
