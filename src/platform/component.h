// Component models: what a control is (caption, geometry, state, handlers), free of any toolkit.
// A backend renders them and calls `changed` observers; tests drive them directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct Color {
    std::uint8_t r = 0, g = 0, b = 0;
    bool system = false;  // the desktop's window-text colour, whatever it is
    friend bool operator==(const Color&, const Color&) = default;
};
inline constexpr Color kWindowText{0, 0, 0, true};
inline constexpr Color kRed{255, 0, 0};
inline constexpr Color kBlue{0, 0, 255};
inline constexpr Color kFuchsia{255, 0, 255};
inline constexpr Color kPurple{128, 0, 128};
inline constexpr Color kGreen{0, 128, 0};
inline constexpr Color kBlack{0, 0, 0};

enum class Kind {
    Button,
    BitmapButton,
    MenuButton,
    Label,
    LinkLabel,
    Edit,
    NumericEdit,
    IpEdit,
    CheckBox,
    ComboBox,
    GroupBox,
    Panel,
    Image,
    StatusBar,
    Chart,
    WaterImage,
};

struct ImageList;
class Menu;

// Base of every visible control. Setters notify the backend through `changed`.
class Control {
  public:
    Control(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }

    int left = 0, top = 0, width = 75, height = 25;
    Control* parent = nullptr;  // a group box or panel; null for the form itself
    int fontheight = 0;         // pixels; 0 = the form's default font
    bool bold = false;
    bool fixedpitch = false;

    void setbounds(int l, int t, int w, int h) { left = l, top = t, width = w, height = h; }
    const std::string& caption() const { return caption_; }
    void setcaption(const std::string& c);
    bool enabled() const { return enabled_; }
    void setenabled(bool e);
    bool visible() const { return visible_; }
    void setvisible(bool v);
    const std::string& hint() const { return hint_; }
    void sethint(const std::string& h);
    bool showhint() const { return showhint_; }
    void setshowhint(bool s);
    Color fontcolor() const { return fontcolor_; }
    void setfontcolor(Color c);

    // One observer: the backend's view of this control.
    std::function<void()> changed;

  protected:
    void notify() {
        if (changed) changed();
    }

  private:
    Kind kind_;
    std::string name_;
    std::string caption_;
    std::string hint_;
    bool enabled_ = true;
    bool visible_ = true;
    bool showhint_ = false;
    Color fontcolor_ = kWindowText;
};

class Button : public Control {
  public:
    explicit Button(std::string name, Kind kind = Kind::Button) : Control(kind, std::move(name)) {}
    std::function<void()> onclick;
    bool hottrack = false;
    // A user's click: does nothing while the button is disabled or hidden.
    void click() {
        if (enabled() && visible() && onclick) onclick();
    }
};

// A push button with a glyph from an image list.
class BitmapButton : public Button {
  public:
    explicit BitmapButton(std::string name) : Button(std::move(name), Kind::BitmapButton) {}
    const ImageList* images = nullptr;
    int imageindex = -1;
};

// A button that drops down a menu; its items carry the handlers.
class MenuButton : public Button {
  public:
    explicit MenuButton(std::string name) : Button(std::move(name), Kind::MenuButton) {}
    Menu* dropdown = nullptr;
};

class Label : public Control {
  public:
    explicit Label(std::string name, Kind kind = Kind::Label) : Control(kind, std::move(name)) {}
    bool autosize = true;
    bool underline = false;
    std::function<void()> onclick;
    void click() {
        if (enabled() && visible() && onclick) onclick();
    }
};

// Free text entry. `onkeypress` sees each typed character first and may discard it (set to 0).
class Edit : public Control {
  public:
    explicit Edit(std::string name, Kind kind = Kind::Edit) : Control(kind, std::move(name)) {}
    const std::string& text() const { return text_; }
    void settext(const std::string& t);
    bool readonly() const { return readonly_; }
    void setreadonly(bool r);
    bool tabstop = true;
    std::function<void(char& key)> onkeypress;
    // A typed character: filtered by onkeypress, then applied (backspace removes the last one).
    void typechar(char c);

  private:
    std::string text_;
    bool readonly_ = false;
};

// A numeric edit: text entry whose value is the number the text holds.
class NumericEdit : public Edit {
  public:
    explicit NumericEdit(std::string name) : Edit(std::move(name), Kind::NumericEdit) {}
    std::string displayformat;
    double value() const;  // 0 when the text is not a number
    void setvalue(double v);
    // The value rounded to the nearest integer, a half to the even neighbour.
    long long roundedvalue() const;
};

// Four numeric fields holding a dotted IPv4 address.
class IpEdit : public Control {
  public:
    explicit IpEdit(std::string name) : Control(Kind::IpEdit, std::move(name)) {}
    // The dotted text of the four fields.
    std::string address() const;
    // Takes a dotted address: fewer than four fields leave the edit as it was; a field that is
    // not a number from 0 to 255 becomes 255.
    void setaddress(const std::string& text);

  private:
    int fields_[4] = {0, 0, 0, 0};
};

class CheckBox : public Control {
  public:
    explicit CheckBox(std::string name) : Control(Kind::CheckBox, std::move(name)) {}
    bool checked() const { return checked_; }
    void setchecked(bool c);
    std::function<void()> onclick;
    // A user's click toggles the box and raises onclick.
    void click();

  private:
    bool checked_ = false;
};

class ComboBox : public Control {
  public:
    explicit ComboBox(std::string name) : Control(Kind::ComboBox, std::move(name)) {}
    std::vector<std::string> items;
    int itemindex() const { return itemindex_; }
    void setitemindex(int i);

  private:
    int itemindex_ = -1;
};

// A captioned frame or a plain panel holding other controls (their `parent`).
class GroupBox : public Control {
  public:
    explicit GroupBox(std::string name, Kind kind = Kind::GroupBox)
        : Control(kind, std::move(name)) {}
};

// A picture from an image list, or an image resource by name.
class Image : public Control {
  public:
    explicit Image(std::string name) : Control(Kind::Image, std::move(name)) {}
    const ImageList* images = nullptr;
    int imageindex = -1;
    std::string resource;  // used when no image list is set
    bool stretch = false;
    void setpicture(const ImageList* list, int index);
};

struct StatusPane {
    std::string name;
    int width = 100;
    bool clock = false;  // shows the current date and time, refreshed every 500 ms
};

// The status bar: text panes and a clock pane. Pane 0 carries the status text and its hint.
class StatusBar : public Control {
  public:
    explicit StatusBar(std::string name) : Control(Kind::StatusBar, std::move(name)) {}
    std::vector<StatusPane> panes;
    const std::string& text() const { return text_; }
    void settext(const std::string& t);
    std::function<void()> onmousemove;  // the mouse moves over the status text pane
    void mousemove() {
        if (onmousemove) onmousemove();
    }

  private:
    std::string text_;
};

// A list of same-sized pictures, loaded by the backend from resource names "<prefix><index>".
struct ImageList {
    std::string name;
    int width = 16, height = 16, count = 0;
    std::string prefix;
    std::string resourcename(int index) const { return prefix + std::to_string(index); }
    bool valid(int index) const { return index >= 0 && index < count; }
};

class MenuItem {
  public:
    MenuItem(std::string name, std::string caption)
        : caption(std::move(caption)), name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    std::string caption;
    std::string hint;
    const ImageList* images = nullptr;
    int imageindex = -1;
    std::string imageresource;
    std::vector<MenuItem*> items;
    bool enabled = true;  // read when the menu opens
    std::function<void(MenuItem&)> onclick;
    // A user's choice: does nothing while the item is disabled.
    void click() {
        if (enabled && onclick) onclick(*this);
    }

  private:
    std::string name_;
};

// A main menu or a pop-up menu: its top-level items.
class Menu {
  public:
    explicit Menu(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    std::vector<MenuItem*> items;

  private:
    std::string name_;
};

}  // namespace platform
