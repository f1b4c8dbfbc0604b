#include "windows/windowfactory.h"

#include "windows/fomrstel.h"
#include "windows/formamp.h"
#include "windows/formeye.h"
#include "windows/formquality.h"
#include "windows/formsnr.h"
#include "windows/formspec.h"

std::unique_ptr<MeasureWindow> createmeasurewindow(exciter::WindowKind kind,
                                                   windows::WindowHost& host) {
    using exciter::WindowKind;
    switch (kind) {
        case WindowKind::Constellation:
            return std::make_unique<TForm_ste>(host);
        case WindowKind::EyeDiagram:
            return std::make_unique<TForm_eye>(host);
        case WindowKind::Amplitude:
            return std::make_unique<TForm_amp>(host);
        case WindowKind::Spectrum:
            return std::make_unique<TForm_spec>(host);
        case WindowKind::ImdSnr:
            return std::make_unique<TForm_snr>(host);
        case WindowKind::SignalQuality:
            return std::make_unique<TForm_quality>(host);
        default:
            return nullptr;
    }
}
