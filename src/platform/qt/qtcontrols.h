// Views of the component models: each keeps one widget in step with its model and passes the
// user's actions to the model's handlers.
#pragma once

#include <QObject>
#include <QWidget>

#include "platform/component.h"

namespace platform::qt {

class FormView;

class ControlView : public QObject {
  public:
    ControlView(Control& model, QWidget* widget, FormView& owner);
    Control& model() const { return model_; }
    QWidget* widget() const { return widget_; }
    // Model -> widget: called on every change of the model.
    virtual void sync();
    // Drops the model's observer; the view makes no more model calls.
    virtual void detach();

  protected:
    // False once the form has closed or its model has gone.
    bool live() const;
    // A widget caption: Qt reads "&" mnemonics and "&&" the same way as the models.
    static QString text(const std::string& s);
    // A caption for widgets that show text plainly: "&&" -> "&", a lone "&" dropped.
    static QString plaintext(const std::string& s);

  private:
    void syncfont();
    Control& model_;
    QWidget* widget_;
    FormView& owner_;
};

// The view of a control, its widget made a child of `parent`; null for a kind with no view.
ControlView* makeview(Control& c, QWidget* parent, FormView& owner);

}  // namespace platform::qt
