#include "analyze/charts.h"

#include <memory>

#include "platform/chartexport.h"
#include "platform/component.h"
#include "windows/fomrstel.h"
#include "windows/formamp.h"
#include "windows/formeye.h"
#include "windows/formspec.h"
#include "windows/windowhost.h"

namespace analyze {

namespace {

// The windows' host: the logo, and the recording's status block for the readout.
class ChartHost : public windows::WindowHost {
  public:
    explicit ChartHost(const std::array<std::uint8_t, 4>& status) : status_(status) {}
    const platform::ImageList& logo() const override { return il2_; }
    bool debugmode() const override { return false; }
    void simulatedata() override {}
    const std::uint8_t* statusblock() const override { return status_.data(); }
    void formclosed() override {}

  private:
    platform::ImageList il2_{"il2", 128, 128, 2, "il2_"};
    std::array<std::uint8_t, 4> status_;
};

template <class W>
bool draw(W& w, const std::uint8_t* block, const std::function<void()>& settle,
          std::initializer_list<std::pair<const platform::Chart*, std::string>> charts,
          std::string& error) {
    w.show();
    w.showdata(block);
    settle();
    for (const auto& [chart, file] : charts) {
        std::string reason;
        if (!platform::exportchartjpeg(*chart, file, reason)) {
            error = file + ": " + reason;
            w.close();
            return false;
        }
    }
    w.close();
    settle();
    return true;
}

}  // namespace

bool drawcharts(const std::string& folder, const std::string& name, const std::uint8_t* block,
                const std::array<std::uint8_t, 4>& status, const std::function<void()>& settle,
                std::string& error) {
    ChartHost host(status);
    const std::string base = folder + "/" + name + "-";
    auto ste = std::make_unique<TForm_ste>(host);
    if (!draw(*ste, block, settle, {{&ste->cht_stel, base + "constellation.jpg"}}, error))
        return false;
    auto eye = std::make_unique<TForm_eye>(host);
    if (!draw(*eye, block, settle, {{&eye->cht_eye, base + "eye.jpg"}}, error)) return false;
    auto spectrum = std::make_unique<TForm_spec>(host);
    if (!draw(*spectrum, block, settle, {{&spectrum->cht_spect, base + "spectrum.jpg"}}, error))
        return false;
    auto amp = std::make_unique<TForm_amp>(host);
    return draw(
        *amp, block, settle,
        {{&amp->cht_freq, base + "flatness.jpg"}, {&amp->cht_group, base + "group-delay.jpg"}},
        error);
}

}  // namespace analyze
