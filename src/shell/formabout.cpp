#include "shell/formabout.h"

#include <initializer_list>
#include <memory>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "shell/mainfram.h"

namespace {

// The desktop's highlight colour for a link not yet visited.
constexpr platform::Color kHighlight{0, 0, 255};

}  // namespace

TForm_about::TForm_about() : platform::Form("form_about") {
    layout();
    btn_1.onclick = [this] { panel_ip1Click(); };
    url_label1.onclick = [this] { url_label1Click(); };
    onclose = [this](platform::CloseAction& a) { FormClose(a); };
}

void TForm_about::layout() {
    setcaption("About");
    clientwidth = 358;
    clientheight = 165;
    minimizebox = false;
    maximizebox = false;
    lbl_version.setcaption("KORVIN");
    lbl_version.setbounds(129, 10, 176, 19);
    lbl_version.fixedpitch = true;
    lbl_version.fontheight = 12;
    lbl_copyright.setcaption("Copyright (C) 2026 KORVIN developers");
    lbl_copyright.setbounds(27, 77, 312, 18);
    lbl_copyright.fontheight = 12;
    panel_ip1.setbounds(-1, 0, 359, 165);
    lbl_1.setcaption("Website:");
    lbl_1.setbounds(32, 128, 48, 13);
    url_label1.setcaption(kWebsite);
    url_label1.setbounds(83, 128, 149, 13);
    url_label1.underline = true;
    url_label1.setfontcolor(kHighlight);
    wi1.setbounds(2, 2, 82, 59);
    wi1.resource = "about_logo.jpg";
    wi1.radius = 2;
    btn_1.setcaption("Close");
    btn_1.setbounds(253, 124, 75, 25);
    btn_1.hottrack = true;
    lbl_2.setcaption("For   ATSC");
    lbl_2.setbounds(168, 35, 67, 13);
    lbl_3.setcaption("All rights reserved.");
    lbl_3.setbounds(125, 105, 97, 13);
    const std::initializer_list<platform::Control*> inside = {
        &lbl_version, &lbl_copyright, &lbl_1, &url_label1, &wi1, &btn_1, &lbl_2, &lbl_3};
    for (platform::Control* c : inside) c->parent = &panel_ip1;
    add({&lbl_version, &lbl_copyright, &panel_ip1, &lbl_1, &url_label1, &wi1, &btn_1, &lbl_2,
         &lbl_3});
}

void TForm_about::FormClose(platform::CloseAction& action) {
    action = platform::CloseAction::Free;
}

void TForm_about::panel_ip1Click() {
    close();
}

void TForm_about::url_label1Click() {
    if (platform::desktop().openurl(url_label1.caption()))
        url_label1.setfontcolor(platform::kPurple);
}

void openaboutbox(Tmainform& main) {
    auto box = std::make_unique<TForm_about>();
    box->seticon(&main.il1, 5);
    platform::Form::showmodalowned(std::move(box));
}
