#include "windows/measureframe.h"

#include <cmath>
#include <cstdio>

#include "engine/verdicts.h"
#include "platform/backend.h"
#include "platform/chartexport.h"
#include "windows/filenames.h"

namespace windows {

namespace {
constexpr int kClientWidth = 984;
constexpr int kReadoutLeft = 32;
constexpr int kValueLeft = 120;
constexpr int kButtonTop = 610;
}  // namespace

std::string readouttext(std::uint8_t halfdb) {
    char text[16];
    std::snprintf(text, sizeof text, "%2.1fdB", halfdb / 2.0);
    return text;
}

std::string figuretext(double v, const char* unit, int decimals, double limit) {
    if (!std::isfinite(v) || std::fabs(v) >= limit) return kNotMeasured;
    // Exactly the values printed as zero: a minus there would claim a sign the figure lacks.
    if (std::fabs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0.0;
    char text[48];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, v, unit);
    return text;
}

void setverdict(platform::Label& l, bool pass) {
    l.setcaption(pass ? "Pass" : "Fail");
    l.setfontcolor(pass ? platform::kWindowText : platform::kRed);
}

void setnosignal(platform::Label& l) {
    l.setcaption(kNoSignal);
    l.setfontcolor(platform::kRed);
}

MeasureFrame::MeasureFrame(std::string name, const std::string& title, WindowHost& host)
    : platform::Form(std::move(name)), host_(host) {
    clientwidth = kClientWidth;
    clientheight = 662;
    minimizebox = true;
    maximizebox = false;
    fixedborder = true;

    img1.setbounds(13, 10, 135, 90);
    img1.stretch = true;
    img1.setpicture(&host.logo(), 0);
    img1.sethint("Veltrax Communication");
    img1.setshowhint(true);

    // Centred by an estimate of the text's width at 21 pixels.
    const int titlewidth = static_cast<int>(title.size()) * 12;
    lbl_1.setbounds((kClientWidth - titlewidth) / 2, 20, titlewidth, 26);
    lbl_1.fontheight = 21;
    lbl_1.setcaption(title);
    setcaption(title);

    lbl_2.setbounds(30, 110, 180, 16);
    lbl_2.setcaption("Real-time Measurements");
    lbl_snrcaption.setcaption("SNR = ");
    lbl_limdcaption.setcaption("Lower IMD = ");
    lbl_uimdcaption.setcaption("Upper IMD = ");
    for (platform::Label* l : {&lbl_snr, &lbl_limd, &lbl_uimd}) l->setcaption(kNotMeasured);
    placereadout(145, 195);

    btn_close.setbounds(630, kButtonTop, 120, 25);
    btn_close.setcaption("Close &&& Back to Main");
    btn_close.onclick = [this] { btn_closeClick(); };

    savedlg_1.filter = kJpgFilter;
    tmr1.ontimer = [this] { tmr1Timer(); };
    onclose = [this](platform::CloseAction& a) { FormClose(a); };

    add({&img1, &lbl_1, &lbl_2, &lbl_snrcaption, &lbl_snr, &lbl_limdcaption, &lbl_limd,
         &lbl_uimdcaption, &lbl_uimd, &btn_close});
}

MeasureFrame::~MeasureFrame() {
    tmr1.setenabled(false);
}

void MeasureFrame::placereadout(int top, int lasttop) {
    const int tops[3] = {top, top + 25, lasttop};
    platform::Label* captions[3] = {&lbl_snrcaption, &lbl_limdcaption, &lbl_uimdcaption};
    platform::Label* values[3] = {&lbl_snr, &lbl_limd, &lbl_uimd};
    for (int i = 0; i < 3; ++i) {
        captions[i]->setbounds(kReadoutLeft, tops[i], 85, 16);
        values[i]->setbounds(kValueLeft, tops[i], 80, 16);
    }
}

void MeasureFrame::addsavecontrol(platform::Button& save) {
    save.setbounds(820, kButtonTop, 120, 25);
    save.setcaption("Save to File");
    add(save);
}

void MeasureFrame::addmerreadout(int gap) {
    hasmer_ = true;
    lbl_mercaption.setcaption("MER = ");
    lbl_mercaption.setbounds(kReadoutLeft, lbl_uimd.top + gap, 85, 16);
    lbl_mer.setcaption(kNotMeasured);
    lbl_mer.setbounds(kValueLeft, lbl_uimd.top + gap, 80, 16);
    add({&lbl_mercaption, &lbl_mer});
}

void MeasureFrame::showmer(const std::uint8_t* block) {
    if (!hasmer_ || !block) return;
    const verdicts::Judgement j = verdicts::judge(block, 0);
    if (!j.locked) return setnosignal(lbl_mer);
    lbl_mer.setcaption(figuretext(j.merdb, "dB"));
    lbl_mer.setfontcolor(platform::kWindowText);
}

void MeasureFrame::shownosignal() {
    if (hasmer_) setnosignal(lbl_mer);
}

void MeasureFrame::startdebugtimer() {
    if (host_.debugmode()) tmr1.setenabled(true);
}

void MeasureFrame::showstatus(const std::uint8_t* status) {
    if (!status) return;
    lbl_snr.setcaption(readouttext(status[1]));
    lbl_limd.setcaption(readouttext(status[2]));
    lbl_uimd.setcaption(readouttext(status[3]));
}

void MeasureFrame::refreshreadout() {
    MeasureFrame::showstatus(host_.statusblock());
}

void MeasureFrame::tmr1Timer() {
    host_.simulatedata();
}

void MeasureFrame::FormClose(platform::CloseAction& action) {
    action = platform::CloseAction::Free;
    // The object lives on until the main window releases it; no more simulated captures.
    tmr1.setenabled(false);
    freeseries();
    host_.formclosed();
}

void MeasureFrame::savechart(const platform::Chart& chart) {
    savedlg_1.filter = kJpgFilter;
    if (!platform::desktop().savedialog(savedlg_1)) return;
    savedlg_1.filename = forceextension(savedlg_1.filename, ".jpg");
    exportchart(chart, savedlg_1.filename);
}

void MeasureFrame::savebothcharts(const platform::Chart& first, const char* firstsuffix,
                                  const platform::Chart& second, const char* secondsuffix) {
    savedlg_1.filter = kJpgFilter;
    if (!platform::desktop().savedialog(savedlg_1)) return;
    const std::string name = filepart(savedlg_1.filename);
    std::string folder = savedlg_1.folder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    savedlg_1.filename = folder + forceextension(name, firstsuffix);
    if (!exportchart(first, savedlg_1.filename)) return;
    savedlg_1.filename = folder + forceextension(name, secondsuffix);
    exportchart(second, savedlg_1.filename);
}

bool MeasureFrame::exportchart(const platform::Chart& chart, const std::string& file) {
    std::string reason;
    if (platform::exportchartjpeg(chart, file, reason)) return true;
    platform::desktop().errorbox("Can not write " + file + ": " + reason);
    return false;
}

}  // namespace windows
