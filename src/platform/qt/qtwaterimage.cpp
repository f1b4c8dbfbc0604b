#include "platform/qt/qtwaterimage.h"

// libjpeg's header needs size_t and FILE declared first.
#include <jpeglib.h>
#include <cstddef>
#include <cstdio>

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <csetjmp>
#include <functional>
#include <string>

#include "platform/qt/qtcontrols.h"

namespace platform::qt {

namespace {

// libjpeg ends the process on a fatal error unless the handler jumps out.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void onjpegerror(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Only trivially destructible state lives between setjmp and a possible longjmp.
bool decodeinto(const QByteArray& bytes, std::vector<std::uint8_t>& rgb, int& w, int& h) {
    jpeg_decompress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onjpegerror;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    w = static_cast<int>(info.output_width);
    h = static_cast<int>(info.output_height);
    rgb.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb.data() + static_cast<std::size_t>(info.output_scanline) * 3 *
                                        static_cast<std::size_t>(w);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

class WaterWidget : public QWidget {
  public:
    using QWidget::QWidget;
    std::function<void(QPainter&)> onpaint;
    std::function<void(int x, int y, bool leftheld)> onmove;
    std::function<void(int x, int y)> onpress;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (onpaint) onpaint(p);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint pt = e->position().toPoint();
        if (onmove) onmove(pt.x(), pt.y(), e->buttons() & Qt::LeftButton);
    }
    void mousePressEvent(QMouseEvent* e) override {
        const QPoint pt = e->position().toPoint();
        if (e->button() == Qt::LeftButton && onpress) onpress(pt.x(), pt.y());
    }
};

class WaterView : public ControlView {
  public:
    WaterView(WaterImage& m, QWidget* parent, FormView& owner)
        : ControlView(m, new WaterWidget(parent), owner), model_(m) {
        auto* w = static_cast<WaterWidget*>(widget());
        w->setMouseTracking(true);
        QFile file(QString::fromStdString(":/" + m.resource));
        int pw = 0, ph = 0;
        if (file.open(QIODevice::ReadOnly)) picture_ = decodejpeg(file.readAll(), pw, ph);
        frame_.resize(picture_.size());
        m.setpicturesize(pw, ph);  // the control takes the picture's size
        // The model may outlive the widget (or the other way round): each side checks.
        m.onstep = [w = QPointer<QWidget>(w)] {
            if (w) w->update();
        };
        w->onpaint = [this](QPainter& p) { paint(p); };
        w->onmove = [this](int x, int y, bool held) {
            if (live()) model_.mousemove(x, y, held);
        };
        w->onpress = [this](int x, int y) {
            if (live()) model_.mousedown(x, y);
        };
    }

  private:
    void paint(QPainter& p) {
        if (!live() || picture_.empty()) return;
        const int w = model_.picturewidth(), h = model_.pictureheight();
        model_.render(picture_.data(), frame_.data());
        const QImage img(frame_.data(), w, h, 3 * w, QImage::Format_RGB888);
        p.drawImage(0, 0, img);
    }

    WaterImage& model_;
    std::vector<std::uint8_t> picture_, frame_;
};

}  // namespace

std::vector<std::uint8_t> decodejpeg(const QByteArray& bytes, int& w, int& h) {
    std::vector<std::uint8_t> rgb;
    w = h = 0;
    if (bytes.isEmpty() || !decodeinto(bytes, rgb, w, h)) {
        w = h = 0;
        rgb.clear();
    }
    return rgb;
}

ControlView* makewaterview(WaterImage& m, QWidget* parent, FormView& owner) {
    return new WaterView(m, parent, owner);
}

}  // namespace platform::qt
