#include "shell/formabout.h"

#include <gtest/gtest.h>

#include "platform/testkit/headless.h"
#include "shell/mainfram.h"

namespace {

class AboutBox : public ::testing::Test {
  protected:
    platform::HeadlessBackend backend;  // first: it outlives the boxes
};

TEST_F(AboutBox, TheLinkTurnsPurpleOnlyWhenItOpened) {
    TForm_about box;
    EXPECT_EQ(box.lbl_version.caption(), "KORVIN");
    EXPECT_EQ(box.lbl_2.caption(), "For   ATSC");
    const platform::Color unvisited = box.url_label1.fontcolor();
    EXPECT_NE(unvisited, platform::kPurple);
    backend.desk.openurlresult = false;
    box.url_label1.click();
    EXPECT_EQ(box.url_label1.fontcolor(), unvisited);
    backend.desk.openurlresult = true;
    box.url_label1.click();
    EXPECT_EQ(box.url_label1.fontcolor(), platform::kPurple);
    EXPECT_EQ(backend.desk.openedurls,
              (std::vector<std::string>{TForm_about::kWebsite, TForm_about::kWebsite}));
}

// Headless, showmodal returns at once: the box must free itself when it closes later.
TEST_F(AboutBox, TheHelpMenuOpensAFreshBoxThatGoesWhenClosed) {
    Tmainform main;
    main.aboutopener = openaboutbox;
    for (bool closebox : {false, true}) {
        main.mniAbout1.click();
        ASSERT_EQ(backend.modalstack.size(), 1u);
        auto* box = dynamic_cast<TForm_about*>(backend.modalstack.back());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->iconlist, &main.il1);
        EXPECT_EQ(box->iconindex, 5);
        EXPECT_TRUE(backend.clock.armed(box->wi1.timer));
        closebox ? box->close() : box->btn_1.click();
        EXPECT_EQ(box->closeaction(), platform::CloseAction::Free);
        backend.processevents();  // freed here; ASan reports the box otherwise
        EXPECT_TRUE(backend.modalstack.empty());
    }
    EXPECT_EQ(backend.modalshown, (std::vector<std::string>{"form_about", "form_about"}));
}

}  // namespace
