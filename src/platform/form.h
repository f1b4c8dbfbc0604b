// A form: a window built from component models. Forms are shown modally (measurement windows,
// dialogs) or as the main window; closing always runs the same path through `onclose`.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/component.h"

namespace platform {

class Chart;

enum class CloseAction { None, Hide, Free };

class Form {
  public:
    explicit Form(std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    void setcaption(const std::string& c);

    int clientwidth = 400, clientheight = 300;
    bool minimizebox = true, maximizebox = false, fixedborder = true;
    int fontheight = 11;
    Menu* mainmenu = nullptr;
    // The title-bar icon: an image list entry.
    const ImageList* iconlist = nullptr;
    int iconindex = -1;
    void seticon(const ImageList* list, int index);

    // Controls in declaration order; the backend renders them and follows this tab order.
    const std::vector<Control*>& controls() const { return controls_; }
    void add(Control& c) { controls_.push_back(&c); }
    void add(std::initializer_list<Control*> cs) {
        for (Control* c : cs) controls_.push_back(c);
    }
    Control* find(const std::string& name) const;

    // Shows the form modally. With the Qt backend this returns when the form has closed; the
    // headless backend marks it shown and returns at once, and a later close() finishes it.
    void showmodal();
    // Shows a form that frees itself: destroyed after its modal loop has run to the close, or,
    // where the backend returns at once (headless), once it has closed.
    static void showmodalowned(std::unique_ptr<Form> form);
    // Shows the main window.
    void show();
    // Closes the form: onclose decides the action; the backend then hides it and ends its modal
    // loop. Closing by the title bar's close box takes the same path.
    void close();

    bool showing() const { return showing_; }
    bool closed() const { return closed_; }
    CloseAction closeaction() const { return action_; }

    std::function<void(CloseAction&)> onclose;
    // Called by the backend after the form has closed with CloseAction::Free: the owner may now
    // destroy it (never from inside its own handlers).
    std::function<void()> onrelease;

    // Every form alive in the process, oldest first (the test driver finds forms by name).
    static const std::vector<Form*>& live();

    // Backend hooks.
    std::function<void()> changed;
    void markshowing(bool s) { showing_ = s; }

  private:
    std::string name_;
    std::string caption_;
    std::vector<Control*> controls_;
    bool showing_ = false;
    bool closed_ = false;
    bool closing_ = false;
    CloseAction action_ = CloseAction::Hide;
};

}  // namespace platform
