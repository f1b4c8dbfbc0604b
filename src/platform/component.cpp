#include "platform/component.h"

#include <stdlib.h>

#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>

#include "platform/fixedlocale.h"

namespace platform {

void Control::setcaption(const std::string& c) {
    if (caption_ == c) return;
    caption_ = c;
    notify();
}
void Control::setenabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    notify();
}
void Control::setvisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    notify();
}
void Control::sethint(const std::string& h) {
    if (hint_ == h) return;
    hint_ = h;
    notify();
}
void Control::setshowhint(bool s) {
    if (showhint_ == s) return;
    showhint_ = s;
    notify();
}
void Control::setfontcolor(Color c) {
    if (fontcolor_ == c) return;
    fontcolor_ = c;
    notify();
}

void Edit::settext(const std::string& t) {
    if (text_ == t) return;
    text_ = t;
    notify();
}
void Edit::setreadonly(bool r) {
    if (readonly_ == r) return;
    readonly_ = r;
    notify();
}
void Edit::typechar(char c) {
    if (onkeypress) onkeypress(c);
    if (c == 0 || readonly_) return;
    if (c == 8) {
        if (!text_.empty()) settext(text_.substr(0, text_.size() - 1));
    } else if (static_cast<unsigned char>(c) >= 32) {
        settext(text_ + c);
    }
}

double NumericEdit::value() const {
    const std::string& t = text();
    if (t.empty()) return 0;
    char* end = nullptr;
    // A point is the decimal mark whatever the desktop's language.
    const locale_t c = fixedlocale();
    double v = c ? strtod_l(t.c_str(), &end, c) : std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != 0 || !std::isfinite(v)) return 0;
    return v;
}
void NumericEdit::setvalue(double v) {
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os << v;
    settext(os.str());
}
long long NumericEdit::roundedvalue() const {
    double v = value();
    if (v > 9.0e18) return 9000000000000000000LL;
    if (v < -9.0e18) return -9000000000000000000LL;
    return std::llrint(v);  // the default rounding mode takes a half to the even neighbour
}

std::string IpEdit::address() const {
    return std::to_string(fields_[0]) + "." + std::to_string(fields_[1]) + "." +
           std::to_string(fields_[2]) + "." + std::to_string(fields_[3]);
}

static int ipfield(const std::string& f) {
    if (f.empty() || f.size() > 9) return 255;
    for (char c : f)
        if (c < '0' || c > '9') return 255;
    int v = std::atoi(f.c_str());
    return v > 255 ? 255 : v;
}

void IpEdit::setaddress(const std::string& text) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == '.') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    if (parts.size() < 4) return;
    for (int i = 0; i < 4; ++i) fields_[i] = ipfield(parts[i]);
    notify();
}

void CheckBox::setchecked(bool c) {
    if (checked_ == c) return;
    checked_ = c;
    notify();
}
void CheckBox::click() {
    if (!enabled() || !visible()) return;
    setchecked(!checked_);
    if (onclick) onclick();
}

void ComboBox::setitemindex(int i) {
    if (i < -1 || i >= static_cast<int>(items.size())) i = -1;
    if (itemindex_ == i) return;
    itemindex_ = i;
    notify();
}

void Image::setpicture(const ImageList* list, int index) {
    images = list;
    imageindex = index;
    notify();
}

void StatusBar::settext(const std::string& t) {
    if (text_ == t) return;
    text_ = t;
    notify();
}

}  // namespace platform
