#include "windows/windowfactory.h"

#include "windows/fomrstel.h"
#include "windows/formamp.h"
#include "windows/formeye.h"
#include "windows/formsnr.h"
#include "windows/formspec.h"

std::unique_ptr<MeasureWindow> createmeasurewindow(int kind, Tmainform& main) {
    switch (kind) {
        case 1:
            return std::make_unique<TForm_ste>(main);
        case 2:
            return std::make_unique<TForm_eye>(main);
        case 3:
            return std::make_unique<TForm_amp>(main);
        case 4:
            return std::make_unique<TForm_spec>(main);
        case 5:
            return std::make_unique<TForm_snr>(main);
        default:
            return nullptr;
    }
}
