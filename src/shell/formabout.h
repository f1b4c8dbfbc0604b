// The about box: product title, our animated logo, the legal notice and a link to our web site.
#pragma once

#include "platform/component.h"
#include "platform/form.h"
#include "platform/waterimage.h"

class Tmainform;

class TForm_about : public platform::Form {
  public:
    static constexpr const char* kWebsite = "https://korvin.example.org";

    TForm_about();

    void FormClose(platform::CloseAction& action);
    // The Close button's handler: closes this box.
    void panel_ip1Click();
    void url_label1Click();

    // Components, in declaration order.
    platform::Label lbl_version{"lbl_version"};
    platform::Label lbl_copyright{"lbl_copyright"};
    platform::GroupBox panel_ip1{"panel_ip1", platform::Kind::Panel};
    platform::Label lbl_1{"lbl_1"};
    platform::Label url_label1{"url_label1", platform::Kind::LinkLabel};
    platform::WaterImage wi1{"wi1"};
    platform::Button btn_1{"btn_1"};
    platform::Label lbl_2{"lbl_2"};
    platform::Label lbl_3{"lbl_3"};

  private:
    void layout();
};

// Opens a fresh about box modally over the main window; it is destroyed once closed.
void openaboutbox(Tmainform& main);
