#include <gtest/gtest.h>

#include "toolkit/Events.h"

namespace {

struct TListener : TObject {
  int Calls = 0;
  TObject* LastSender = nullptr;
  void Notify(TObject* Sender) {
    ++Calls;
    LastSender = Sender;
  }
  void Other(TObject*) { Calls += 100; }
  int Sum = 0;
  void Add(int A, int& Out) { Out = (Sum += A); }
};

TEST(HandlerPair, EmptyAssignedCalledAndCleared) {
  TListener a;
  TNotifyEvent h;
  EXPECT_FALSE(h);
  h = TNotifyEvent::Of<&TListener::Notify>(&a);
  ASSERT_TRUE(h);
  h(&a);
  EXPECT_EQ(a.Calls, 1);
  EXPECT_EQ(a.LastSender, &a);
  EXPECT_EQ(h.Data(), &a);
  h = nullptr;
  EXPECT_FALSE(h);
}

TEST(HandlerPair, ComparesByRoutineAndWhole) {
  TListener a, b;
  const auto aNotify = TNotifyEvent::Of<&TListener::Notify>(&a);
  const auto bNotify = TNotifyEvent::Of<&TListener::Notify>(&b);
  const auto aOther = TNotifyEvent::Of<&TListener::Other>(&a);

  EXPECT_TRUE(aNotify.SameRoutine(bNotify)) << "same routine, other object";
  EXPECT_FALSE(aNotify == bNotify) << "whole pairs differ by object";
  EXPECT_FALSE(aNotify.SameRoutine(aOther));
  EXPECT_FALSE(aNotify == aOther);
  EXPECT_TRUE(aNotify == TNotifyEvent::Of<&TListener::Notify>(&a));
  EXPECT_TRUE(TNotifyEvent().SameRoutine(TNotifyEvent()));
  EXPECT_FALSE(aNotify.SameRoutine(TNotifyEvent()));
}

TEST(HandlerPair, PassesReferenceArguments) {
  TListener a;
  auto h = TMethod<int, int&>::Of<&TListener::Add>(&a);
  int out = 0;
  h(5, out);
  h(2, out);
  EXPECT_EQ(out, 7);
}

}  // namespace
