#include "shell/configdialog.h"

#include <memory>

#include "services/formconfig.h"
#include "shell/mainfram.h"

void openconfigdialog(Tmainform& main) {
    auto dlg = std::make_unique<Tform_config>(
        main.settings(), [&main](bool reopen) { main.autosavefolderchanged(reopen); });
    dlg->seticon(&main.il1, 7);
    platform::Form::showmodalowned(std::move(dlg));
}
