#include "platform/form.h"

#include <algorithm>

#include "platform/backend.h"

namespace platform {

namespace {
std::vector<Form*>& registry() {
    static std::vector<Form*> forms;
    return forms;
}
}  // namespace

Form::Form(std::string name) : name_(std::move(name)) {
    registry().push_back(this);
}

Form::~Form() {
    auto& forms = registry();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

const std::vector<Form*>& Form::live() {
    return registry();
}

void Form::setcaption(const std::string& c) {
    caption_ = c;
    if (changed) changed();
}

void Form::seticon(const ImageList* list, int index) {
    iconlist = list;
    iconindex = index;
    if (changed) changed();
}

Control* Form::find(const std::string& name) const {
    for (Control* c : controls_)
        if (c->name() == name) return c;
    return nullptr;
}

void Form::showmodal() {
    closed_ = false;
    showing_ = true;
    backend().showmodal(*this);
}

void Form::showmodalowned(std::unique_ptr<Form> form) {
    form->showmodal();
    if (form->closed()) return;
    Form* open = form.release();
    open->onrelease = [open] { delete open; };
}

void Form::show() {
    closed_ = false;
    showing_ = true;
    backend().show(*this);
}

void Form::close() {
    if (closed_ || closing_) return;
    closing_ = true;
    action_ = CloseAction::Hide;
    if (onclose) onclose(action_);
    closing_ = false;
    if (action_ == CloseAction::None) return;
    closed_ = true;
    showing_ = false;
    backend().closed(*this);
    if (action_ == CloseAction::Free && onrelease) {
        auto release = onrelease;
        backend().post(release);
    }
}

}  // namespace platform
