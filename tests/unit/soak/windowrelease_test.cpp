// Opening and closing windows over and over: a closed window's deferred release must free that
// window only, even when the allocator hands its address to the next one.
#include <gtest/gtest.h>

#include <cstddef>
#include <new>

#include "support/mainformfixture.h"

namespace {

using korvin::test::MainFormTest;
using korvin::test::RecordingWindow;

alignas(std::max_align_t) unsigned char slot[1024];

// Every instance lives at the same address, as a freed block reused at once.
class SameSlotWindow : public RecordingWindow {
  public:
    using RecordingWindow::RecordingWindow;
    static void* operator new(std::size_t n) {
        if (n > sizeof slot) throw std::bad_alloc();
        return slot;
    }
    static void operator delete(void*) {}
};

using WindowRelease = MainFormTest;

TEST_F(WindowRelease, AWindowOpenedBeforeThePreviousOneIsReleasedStaysOpen) {
    start();
    main->windowfactory = [](exciter::WindowKind, Tmainform& m) -> std::unique_ptr<MeasureWindow> {
        return std::make_unique<SameSlotWindow>(m);
    };
    connect();
    open(1);
    MeasureWindow* first = main->openwindow();
    first->form().close();  // its release now waits for the event loop
    open(2);
    ASSERT_EQ(main->openwindow(), first) << "the second window took the first one's address";
    backend.processevents();
    EXPECT_EQ(main->openwindow(), first);
    EXPECT_EQ(formkind(), 2);
    EXPECT_FALSE(main->btmbtn_ste.enabled()) << "buttons stay locked while window 2 is open";
    main->openwindow()->form().close();
    backend.processevents();
    EXPECT_EQ(main->openwindow(), nullptr);
    EXPECT_TRUE(main->btmbtn_ste.enabled());
}

}  // namespace
