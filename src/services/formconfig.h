// The configuration dialog: auto-save on/off and folder, traffic log on/off, default exciter
// address. OK writes each changed value to memory and to config.ini, one key at a time.
#pragma once

#include <functional>
#include <string>

#include "platform/component.h"
#include "platform/filereplace.h"
#include "platform/form.h"
#include "services/settings.h"

class Tform_config : public platform::Form {
  public:
    // Told once a new auto-save folder is in the settings, so the auto-save thread takes it up;
    // `reopen` asks the thread to move its open file there (the main window's
    // autosavefolderchanged).
    using FolderChanged = std::function<void(bool reopen)>;

    // Shows and changes `settings`, which outlive the dialog; `calls` write config.ini (a test
    // passes calls that fail).
    Tform_config(Settings& settings, FolderChanged folderchanged,
                 platform::FileCalls& calls = platform::systemfilecalls());

    void FormCreate();
    void ckbox_enableClick();
    void btn_browseClick();
    void btn_okClick();
    void btn_cancelClick();
    void FormClose(platform::CloseAction& action);

    // Components, in declaration order.
    platform::GroupBox group_box{"group_box"};
    platform::CheckBox ckbox_enable{"ckbox_enable"};
    platform::Label lbl_1{"lbl_1"};
    platform::NumericEdit nedt_cycle{"nedt_cycle"};
    platform::ComboBox cbb_cycle_type{"cbb_cycle_type"};
    platform::Label lbl_3{"lbl_3"};
    platform::Edit edt_path{"edt_path"};
    platform::Button btn_browse{"btn_browse"};
    platform::CheckBox ckbox_save_comm{"ckbox_save_comm"};
    platform::Label lbl_2{"lbl_2"};
    platform::IpEdit ipedt_dest1{"ipedt_dest1"};
    platform::BitmapButton btmbtn_1{"btmbtn_1"};
    platform::BitmapButton btmbtn_2{"btmbtn_2"};

  private:
    void layout();
    void applyenablerule();
    // Steps 1 to 6 of OK; false when a key could not be written (the rest is not done).
    bool storechanges();

    Settings& settings_;
    FolderChanged folderchanged_;
    platform::FileCalls* calls_;
};
