// Charts drawn by Qt Charts, and their JPEG export.
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "platform/chart.h"
#include "platform/chartexport.h"
#include "platform/form.h"
#include "qtenv.h"

namespace {

struct ChartForm : platform::Form {
    platform::Chart chart{"chart"};
    platform::Series trace{"trace", platform::SeriesKind::Line};
    platform::Series dots{"dots", platform::SeriesKind::Point};
    platform::Series mask{"mask", platform::SeriesKind::Line};
    platform::Series reference{"reference", platform::SeriesKind::Line};
    ChartForm() : Form("chartform") {
        clientwidth = 420;
        clientheight = 330;
        chart.setbounds(0, 0, 400, 300);
        chart.bottom = {"Frequency (MHz)", -6, 6, 1, 2, true};
        chart.left = {"dB", -80, 0, 10, 1, true};
        dots.color = platform::kRed;
        dots.markersize = 4;
        add(chart);
    }
};

QChart* qchart(platform::qt::QtBackend& be, const platform::Form& f) {
    auto* view = be.window(f)->findChild<QChartView*>("chart");
    return view ? view->chart() : nullptr;
}

TEST(QtCharts, RepaintShowsTheSeriesPoints) {
    auto& be = qttest::backend();
    ChartForm f;
    f.show();
    QChart* c = qchart(be, f);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->series().empty());

    f.trace.penwidth = 1;
    f.chart.attach(f.trace);
    f.chart.attach(f.dots);
    for (int i = 0; i < 22; ++i) f.trace.add(i * 0.5 - 5, -i);
    f.dots.add(1, -3);
    f.chart.repaint();
    ASSERT_EQ(c->series().size(), 2);
    auto* line = qobject_cast<QLineSeries*>(c->series()[0]);
    auto* scatter = qobject_cast<QScatterSeries*>(c->series()[1]);
    ASSERT_NE(line, nullptr);
    ASSERT_NE(scatter, nullptr);
    EXPECT_EQ(line->count(), 22);
    EXPECT_EQ(line->at(21), QPointF(5.5, -21));
    EXPECT_EQ(line->pen().width(), 1);  // not the theme's pen
    EXPECT_EQ(scatter->color(), QColor(255, 0, 0));
    EXPECT_EQ(scatter->markerSize(), 4);

    // A mask in the chart's default first colour, red, and a reference whose series colour
    // (its legend marker) differs from its line's.
    f.chart.legend = true;
    f.mask.defaultcolor = true;
    f.reference.color = platform::kFuchsia;
    f.reference.pencolor = platform::kRed;
    f.chart.attach(f.mask);
    f.chart.attach(f.reference);
    f.chart.repaint();
    ASSERT_EQ(c->series().size(), 4);
    auto* mask = static_cast<QLineSeries*>(c->series()[2]);
    auto* reference = static_cast<QLineSeries*>(c->series()[3]);
    EXPECT_EQ(mask->color(), QColor(255, 0, 0));
    EXPECT_EQ(reference->color(), QColor(255, 0, 0));
    const auto marker = [c](QAbstractSeries* s) {
        return c->legend()->markers(s).value(0)->brush().color();
    };
    EXPECT_EQ(marker(mask), QColor(255, 0, 0));
    EXPECT_EQ(marker(reference), QColor(255, 0, 255));
    EXPECT_EQ(marker(c->series()[0]), QColor(0, 0, 255));  // the trace's own blue
    f.chart.detach(f.mask);
    f.chart.detach(f.reference);

    // Refilled, not appended to.
    f.trace.clear();
    f.trace.add(0, -1);
    f.chart.detach(f.dots);
    f.chart.repaint();
    ASSERT_EQ(c->series().size(), 1);
    EXPECT_EQ(static_cast<QLineSeries*>(c->series()[0])->count(), 1);
    f.close();
}

TEST(QtCharts, AxesLabelEveryStepAndGridEveryNthLabel) {
    auto& be = qttest::backend();
    ChartForm f;
    f.show();
    QChart* c = qchart(be, f);
    ASSERT_NE(c, nullptr);
    auto* bottom = qobject_cast<QValueAxis*>(c->axes(Qt::Horizontal, nullptr).value(0));
    auto* left = qobject_cast<QValueAxis*>(c->axes(Qt::Vertical, nullptr).value(0));
    ASSERT_NE(bottom, nullptr);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(bottom->min(), -6);
    EXPECT_EQ(bottom->max(), 6);
    EXPECT_EQ(bottom->tickCount(), 13);
    EXPECT_EQ(left->tickCount(), 9);
    EXPECT_EQ(bottom->titleText(), "Frequency (MHz)");
    EXPECT_TRUE(left->isGridLineVisible());
    // Every second frequency label has a grid line: drawn by a second, label-less axis.
    EXPECT_FALSE(bottom->isGridLineVisible());
    QValueAxis* grid = nullptr;
    for (QAbstractAxis* a : c->axes(Qt::Horizontal))
        if (a != bottom) grid = qobject_cast<QValueAxis*>(a);
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(grid->isGridLineVisible());
    EXPECT_FALSE(grid->labelsVisible());
    EXPECT_EQ(grid->tickInterval(), 2);

    // Repaints set only what changed, but a change still reaches the chart.
    f.chart.title = "Spectrum";
    f.chart.bottom.max = 7;
    f.chart.repaint();
    EXPECT_EQ(c->title(), "Spectrum");
    EXPECT_EQ(bottom->max(), 7);
    f.close();
}

// Reads a JPEG's size and the first component's sampling factors.
bool readjpeg(const std::string& file, int& w, int& h, int& hs, int& vs) {
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in) return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    const bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    w = static_cast<int>(cinfo.image_width);
    h = static_cast<int>(cinfo.image_height);
    hs = cinfo.comp_info[0].h_samp_factor;
    vs = cinfo.comp_info[0].v_samp_factor;
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    return ok;
}

TEST(QtCharts, JpegExportHasTheWidgetsSizeAndFullColour) {
    ChartForm f;
    std::string error;
    const std::string file =
        (std::filesystem::temp_directory_path() / "qttest_chart_export.jpg").string();
    EXPECT_FALSE(platform::exportchartjpeg(f.chart, file, error));
    EXPECT_FALSE(error.empty());

    f.show();
    f.chart.attach(f.trace);
    f.trace.add(-5, -10);
    f.trace.add(5, -70);
    f.chart.repaint();
    ASSERT_TRUE(platform::exportchartjpeg(f.chart, file, error)) << error;
    int w = 0, h = 0, hs = 0, vs = 0;
    ASSERT_TRUE(readjpeg(file, w, h, hs, vs));
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(hs, 1);
    EXPECT_EQ(vs, 1);
    std::filesystem::remove(file);

    EXPECT_FALSE(platform::exportchartjpeg(f.chart, "/nonexistent-folder/x.jpg", error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    f.close();
}

}  // namespace
