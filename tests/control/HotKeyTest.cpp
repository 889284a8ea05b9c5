#include "control/HotKey.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

namespace sonarel {
namespace {

class HotKeyTest : public ::testing::Test {
protected:
    doubles::FakeHotKeyService service_;
    HotKey hotKey_{service_};
    int runs_ = 0;
};

TEST_F(HotKeyTest, RegisteringAgainInstallsOnceAndKeepsOnlyTheNewCombination) {
    hotKey_.registerHotKey();
    ASSERT_EQ(service_.registered.size(), 1u);
    EXPECT_EQ(service_.registered[0].keyCode, 2u);
    EXPECT_EQ(service_.registered[0].modifiers, Modifier::Alt | Modifier::Super);
    EXPECT_EQ(service_.registered[0].id.signature, HotKey::firma());
    EXPECT_EQ(service_.registered[0].label, "Alt+Super+D");
    hotKey_.registerHotKey(3, Modifier::Super);
    EXPECT_EQ(service_.handlersInstalled, 1);
    ASSERT_EQ(service_.registered.size(), 1u);
    EXPECT_EQ(service_.registered[0].keyCode, 3u);
    EXPECT_EQ(service_.registered[0].label, "Super+F");  // what the back end's notices name
    hotKey_.unregister();
    EXPECT_TRUE(service_.registered.empty());
    EXPECT_FALSE(hotKey_.isRegistered());
}

TEST_F(HotKeyTest, APressWithTheSignatureRunsTheActionReadLaterOnTheMainThread) {
    hotKey_.registerHotKey();
    service_.press(2, Modifier::Alt | Modifier::Super);  // no action yet: nothing happens
    testing::drainPosted();
    int replaced = 0;
    hotKey_.action = [this] { ++runs_; };
    service_.press(2, Modifier::Alt | Modifier::Super);
    service_.deliver({0x41424344, 1});
    service_.deliver({HotKey::firma(), 7});
    EXPECT_EQ(runs_, 0) << "never inside the desktop's dispatch";
    hotKey_.action = [&replaced] { ++replaced; };
    testing::drainPosted();
    EXPECT_EQ(runs_, 0);
    EXPECT_EQ(replaced, 2);
}

TEST_F(HotKeyTest, ACombinationHeldElsewhereFailsAndTheFailureIsKnown) {
    service_.heldElsewhere.push_back({2, Modifier::Alt | Modifier::Super});
    hotKey_.action = [this] { ++runs_; };
    hotKey_.registerHotKey();
    EXPECT_FALSE(hotKey_.isRegistered());
    service_.press(2, Modifier::Alt | Modifier::Super);
    testing::drainPosted();
    EXPECT_EQ(runs_, 0);
}

}  // namespace
}  // namespace sonarel
