// A form's window: a dialog for modal forms, a main window otherwise, with one view per control.
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QMainWindow>
#include <QObject>
#include <functional>
#include <memory>
#include <unordered_map>

#include "platform/form.h"

namespace platform::qt {

class ControlView;

class FormView : public QObject {
  public:
    // Builds the window and its controls; `onmodelgone` runs if the model is destroyed while the
    // view is still attached to it.
    FormView(Form& form, bool modal, std::function<void(FormView&)> onmodelgone);
    ~FormView() override;

    QWidget* window() const { return window_; }
    QDialog* dialog() const;
    Form* form() const { return live_ ? &form_ : nullptr; }
    bool live() const { return live_; }
    // Cuts the link to the models: observers cleared, no more handler calls.
    void detach();
    // The title bar's close box: the model's close path decides.
    void closerequest(QCloseEvent* e);
    // Shows the window centred on its screen.
    void present();

  private:
    struct Tracker;
    void build(bool modal);
    void buildmenu(QMainWindow& w);
    QWidget* widgetfor(Control* c);
    void syncform();

    Form& form_;
    bool live_ = true;
    QWidget* window_ = nullptr;  // owns this view (as a child QObject)
    QWidget* client_ = nullptr;  // the client area: controls without a parent live here
    std::unordered_map<Control*, ControlView*> views_;
    std::weak_ptr<Tracker> tracker_;  // owned by the form's observer alone
    std::function<void(FormView&)> onmodelgone_;
};

}  // namespace platform::qt
