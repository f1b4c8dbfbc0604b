#include "platform/driver.h"

#include <sstream>
#include <vector>

#include "platform/form.h"

namespace platform {

namespace {

Form* findform(const std::string& name) {
    const auto& forms = Form::live();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if ((*it)->name() == name && !(*it)->closed()) return *it;
    return nullptr;
}

MenuItem* finditem(const std::vector<MenuItem*>& items, const std::string& name) {
    for (MenuItem* m : items) {
        if (m->name() == name) return m;
        if (MenuItem* sub = finditem(m->items, name)) return sub;
    }
    return nullptr;
}

MenuItem* finditem(Form& f, const std::string& name) {
    if (f.mainmenu)
        if (MenuItem* m = finditem(f.mainmenu->items, name)) return m;
    for (Control* c : f.controls())
        if (auto* mb = dynamic_cast<MenuButton*>(c); mb && mb->dropdown)
            if (MenuItem* m = finditem(mb->dropdown->items, name)) return m;
    return nullptr;
}

std::string click(Control& c) {
    if (!c.enabled() || !c.visible()) return "error disabled";
    if (auto* b = dynamic_cast<Button*>(&c))
        b->click();
    else if (auto* k = dynamic_cast<CheckBox*>(&c))
        k->click();
    else if (auto* l = dynamic_cast<Label*>(&c))
        l->click();
    else
        return "error not clickable";
    return "ok";
}

std::string state(Control& c) {
    std::string s = "ok enabled=" + std::to_string(c.enabled()) +
                    " visible=" + std::to_string(c.visible()) + " caption=" + c.caption();
    if (auto* e = dynamic_cast<Edit*>(&c)) s += " text=" + e->text();
    if (auto* ip = dynamic_cast<IpEdit*>(&c)) s += " text=" + ip->address();
    if (auto* k = dynamic_cast<CheckBox*>(&c)) s += " checked=" + std::to_string(k->checked());
    if (c.kind() == Kind::Chart)
        s += " size=" + std::to_string(c.width) + "x" + std::to_string(c.height);
    return s;
}

std::string listforms() {
    std::string s = "ok";
    for (Form* f : Form::live()) s += " " + f->name() + (f->showing() ? "*" : "");
    return s;
}

}  // namespace

std::string runcommand(const std::string& line) {
    std::istringstream in(line);
    std::string verb, formname, target;
    in >> verb;
    if (verb == "forms") return listforms();
    in >> formname;
    Form* f = findform(formname);
    if (!f) return "error no form " + formname;
    if (verb == "close") {
        f->close();
        return "ok";
    }
    if (verb == "status") {
        for (Control* c : f->controls())
            if (auto* sb = dynamic_cast<StatusBar*>(c)) return "ok " + sb->text();
        return "error no status bar";
    }
    in >> target;
    if (verb == "menu") {
        MenuItem* m = finditem(*f, target);
        if (!m) return "error no item " + target;
        if (!m->enabled) return "error disabled";
        m->click();
        return "ok";
    }
    Control* c = f->find(target);
    if (!c) return "error no control " + target;
    if (verb == "click") return click(*c);
    if (verb == "state") return state(*c);
    if (verb == "set") {
        std::string text;
        std::getline(in >> std::ws, text);
        if (auto* ip = dynamic_cast<IpEdit*>(c)) {
            ip->setaddress(text);
            return "ok " + ip->address();
        }
        auto* e = dynamic_cast<Edit*>(c);
        if (!e) return "error not an edit";
        e->settext(text);
        return "ok " + e->text();
    }
    if (verb == "type") {
        auto* e = dynamic_cast<Edit*>(c);
        if (!e) return "error not an edit";
        std::string text;
        std::getline(in >> std::ws, text);
        for (char ch : text) e->typechar(ch);
        return "ok " + e->text();
    }
    return "error unknown command " + verb;
}

}  // namespace platform
