#include "support/fake_dialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

TEST(FakeDialogService, RecordsBoxesInOrderAndFailsOnAnUnexpectedQuestion) {
    FakeDialogService dialogs;
    dialogs.QueueAnswer(true);
    dialogs.QueueAnswer(false);
    DialogService& service = dialogs;
    service.ShowMessage(DialogService::Icon::Error, "first");
    EXPECT_TRUE(service.AskYesNo(DialogService::Icon::Warning, "second"));
    EXPECT_FALSE(service.AskYesNo(DialogService::Icon::Information, "third"));
    EXPECT_EQ(dialogs.UnusedAnswers(), 0u);
    EXPECT_NONFATAL_FAILURE(service.AskYesNo(DialogService::Icon::Warning, "fourth"),
                            "Unexpected question: fourth");

    EXPECT_EQ(dialogs.Texts(), QStringList({"first", "second", "third", "fourth"}));
    const auto& shown = dialogs.AllShown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].kind, FakeDialogService::Kind::Message);
    EXPECT_EQ(shown[0].icon, DialogService::Icon::Error);
    EXPECT_EQ(shown[1].kind, FakeDialogService::Kind::Question);
    EXPECT_EQ(shown[2].icon, DialogService::Icon::Information);
}

} // namespace
