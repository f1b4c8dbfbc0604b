#include "windows/formsnr.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "platform/oserror.h"
#include "services/autosavethread.h"
#include "windows/filenames.h"

namespace {

constexpr const char* kTxtFilter = "TXT Files(*.txt)|*.txt|All Files(*.*)|*.*";
constexpr const char* kAllFilter = "All Files(*.*)|*.*";

std::unique_ptr<platform::Series> historyseries(const char* name, const char* title,
                                                platform::Color c) {
    auto s = std::make_unique<platform::Series>(name, platform::SeriesKind::Line);
    s->title = title;
    s->color = s->pencolor = c;
    s->points.reserve(SnrHistory::kSize);
    return s;
}

void referenceline(platform::Series& s, double db) {
    s.clear();
    s.add(0, db);
    s.add(600, db);
}

}  // namespace

TForm_snr::TForm_snr(windows::WindowHost& host) : MeasureFrame("TForm_snr", "IMD and SNR", host) {
    placereadout(145, 196);
    setupchart();
    n_form.onclick = N_VALUE.onclick =
        N_ALL.onclick = [this](platform::MenuItem& item) { msaveClick(item); };
    N_ALL.hint = "Save Both,One JPG,One txt!";
    pm1.items = {&n_form, &N_VALUE, &N_ALL};
    mbtn_save.dropdown = &pm1;
    addsavecontrol(mbtn_save);
    // No debug timer here: the simulation makes no status blocks.
}

TForm_snr::~TForm_snr() {
    freeseries();
}

void TForm_snr::setupchart() {
    cht_snr_imd.setbounds(234, 84, 750, 500);
    cht_snr_imd.title = "IMD and SNR";
    cht_snr_imd.zooming = false;
    cht_snr_imd.legend = true;
    cht_snr_imd.bottom = {"seconds", 0, 600, 100, 1, true};
    cht_snr_imd.left = {"dB", 20, 65, 5, 1, true};
    add(cht_snr_imd);
    series_std_imd.color = series_std_imd.pencolor = platform::kRed;
    series_std_snr.color = platform::kFuchsia;
    series_std_snr.pencolor = platform::kRed;
    referenceline(series_std_imd, 47);
    referenceline(series_std_snr, windows::kSnrStandardDb);
    // The resource's order: the IMD line first.
    cht_snr_imd.attach(series_std_imd);
    cht_snr_imd.attach(series_std_snr);
    cht_snr_imd.repaint();
    series_snr = historyseries("series_snr", "SNR", platform::kPurple);
    series_limd = historyseries("series_limd", "Lower IMD", platform::kBlue);
    series_uimd = historyseries("series_uimd", "Upper IMD", platform::kGreen);
    snrhistory.clear();
    series_std_imd.title = "IMD Standard";
    series_std_snr.title = "SNR Standard";
}

void TForm_snr::showstatus(const std::uint8_t* status) {
    if (!status) return;
    MeasureFrame::showstatus(status);
    snrhistory.add(platform::desktop().localtime().todatetime(), status);
    replot();
}

void TForm_snr::replot() {
    if (!series_snr) return;
    series_snr->clear();
    series_limd->clear();
    series_uimd->clear();
    for (std::size_t k = 0; k < snrhistory.count(); ++k) {
        const std::size_t s = snrhistory.slot(k);
        const double x = static_cast<double>(k);
        series_snr->add(x, snrhistory.snr[s] / 2.0);
        series_limd->add(x, snrhistory.limd[s] / 2.0);
        series_uimd->add(x, snrhistory.uimd[s] / 2.0);
    }
    cht_snr_imd.attach(*series_snr);
    cht_snr_imd.attach(*series_limd);
    cht_snr_imd.attach(*series_uimd);
    cht_snr_imd.repaint();
}

void TForm_snr::freeseries() {
    for (auto* s : {&series_snr, &series_limd, &series_uimd}) {
        if (*s) cht_snr_imd.detach(**s);
        s->reset();
    }
}

void TForm_snr::msaveClick(platform::MenuItem& item) {
    if (&item == &n_form) savechart(cht_snr_imd);
    if (&item == &N_VALUE) savetext();
    if (&item == &N_ALL) saveboth();
}

void TForm_snr::savetext() {
    savedlg_1.filter = kTxtFilter;
    if (!platform::desktop().savedialog(savedlg_1)) return;
    savedlg_1.filename = windows::forceextension(savedlg_1.filename, ".txt");
    savetxt(savedlg_1.filename);
}

void TForm_snr::saveboth() {
    savedlg_1.filter = kAllFilter;
    if (!platform::desktop().savedialog(savedlg_1)) return;
    exportchart(cht_snr_imd, windows::forceextension(savedlg_1.filename, ".jpg"));
    savetxt(windows::forceextension(savedlg_1.filename, ".txt"));
}

void TForm_snr::savetxt(const std::string& file) {
    auto& desk = platform::desktop();
    std::error_code ec;
    std::FILE* f = nullptr;
    if (std::filesystem::exists(file, ec)) {
        if (desk.question("File exist,Rewrite?") != platform::Answer::Yes) return;
        f = std::fopen(file.c_str(), "wb");
        if (!f) return desk.errorbox("Can not open exist file,Please check!");
    } else {
        f = std::fopen(file.c_str(), "wb");
        if (!f) return desk.errorbox("Can not Create file,Please check!");
    }
    bool ok = true;
    for (std::size_t k = 0; k < snrhistory.count() && ok; ++k) {
        const std::size_t s = snrhistory.slot(k);
        const std::string line =
            snrimdline(platform::LocalTime::fromdatetime(snrhistory.stamps[s]), snrhistory.snr[s],
                       snrhistory.limd[s], snrhistory.uimd[s]);
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    int code = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) code = errno, ok = false;
    if (!ok) desk.errorbox("Can not write " + file + ": " + platform::oserrortext(code));
}
