#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Component.h"

namespace {

std::vector<std::string> Log;

class TProbeComponent : public TComponent {
 public:
  TProbeComponent(TComponent* AOwner, const std::string& AName) : TComponent(AOwner) {
    SetName(AName);
    Log.push_back("create " + AName + (Loading() ? " loading" : ""));
  }
  ~TProbeComponent() override {
    NotifyRemoval();
    Log.push_back("destroy " + Name());
  }
  TComponent* Peer = nullptr;
  std::string Property;

 protected:
  void Loaded() override {
    TComponent::Loaded();
    Log.push_back("loaded " + Name() + " " + Property);
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == TOperation::opRemove) {
      Log.push_back(Name() + " sees removal of " + AComponent->Name());
      if (AComponent == Peer) Peer = nullptr;
    }
  }
};

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { Log.clear(); }
};

TEST_F(ComponentTest, OwnerDestroysOwnedComponentsLastFirst) {
  auto* owner = new TProbeComponent(nullptr, "form");
  auto* a = new TProbeComponent(owner, "a");
  new TProbeComponent(owner, "b");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(0), a);
  EXPECT_EQ(a->Owner(), owner);
  Log.clear();
  delete owner;
  // The owner's own destructor body runs first; then its components go, the
  // last created first, each seen by the siblings still there.
  EXPECT_EQ(Log, (std::vector<std::string>{"destroy form", "a sees removal of b", "destroy b",
                                           "destroy a"}));
}

TEST_F(ComponentTest, RemovalNotificationReachesSiblingsWhileRemovedIsIntact) {
  TProbeComponent owner(nullptr, "form");
  auto* port = new TProbeComponent(&owner, "port");
  auto* signal = new TProbeComponent(&owner, "signal");
  signal->Peer = port;
  Log.clear();
  delete port;
  EXPECT_EQ(signal->Peer, nullptr);
  EXPECT_EQ(owner.ComponentCount(), 1);
  // The notification comes before the removed component's own destructor ends.
  ASSERT_GE(Log.size(), 2u);
  EXPECT_EQ(Log[0], "form sees removal of port");
  EXPECT_EQ(Log[1], "signal sees removal of port");
  EXPECT_EQ(Log.back(), "destroy port");
}

TEST_F(ComponentTest, DescriptionLoadingOrderIsReproducible) {
  TProbeComponent owner(nullptr, "form");
  owner.BeginLoading();
  auto* com = new TProbeComponent(&owner, "com");
  auto* rx = new TProbeComponent(&owner, "rx");
  auto* tx = new TProbeComponent(&owner, "tx");
  // Properties are set after creation, before any loaded notification.
  com->Property = "open";
  rx->Property = "bound";
  tx->Property = "bound";
  EXPECT_TRUE(com->Loading());
  owner.EndLoading();
  EXPECT_FALSE(com->Loading());
  EXPECT_FALSE(owner.Loading());
  EXPECT_EQ(Log, (std::vector<std::string>{"create form", "create com loading", "create rx loading",
                                           "create tx loading", "loaded com open",
                                           "loaded rx bound", "loaded tx bound", "loaded form "}));
}

TEST_F(ComponentTest, ComponentWithoutLoadingOwnerStartsLoaded) {
  TProbeComponent owner(nullptr, "form");
  TProbeComponent* child = new TProbeComponent(&owner, "child");
  EXPECT_FALSE(child->Loading());
}

}  // namespace
