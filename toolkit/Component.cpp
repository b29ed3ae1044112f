#include "toolkit/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) {
    FLoading = FOwner->Loading();
    FOwner->InsertComponent(this);
  }
}

TComponent::~TComponent() {
  DestroyComponents();
  NotifyRemoval();
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) delete FComponents.back();
}

void TComponent::BeginLoading() {
  FLoading = true;
}

void TComponent::EndLoading() {
  // A copy: a loaded notification may create or destroy components.
  const std::vector<TComponent*> created = FComponents;
  for (TComponent* c : created) {
    if (std::find(FComponents.begin(), FComponents.end(), c) != FComponents.end() && c->Loading())
      c->Loaded();
  }
  if (Loading()) Loaded();
}

void TComponent::Loaded() {
  FLoading = false;
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::NotifyRemoval() {
  if (FRemoved) return;
  FRemoved = true;
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  Notification(AComponent, TOperation::opInsert);
  for (TComponent* c : FComponents)
    if (c != AComponent) c->Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  std::erase(FComponents, AComponent);
  Notification(AComponent, TOperation::opRemove);
  const std::vector<TComponent*> others = FComponents;
  for (TComponent* c : others) {
    if (std::find(FComponents.begin(), FComponents.end(), c) != FComponents.end())
      c->Notification(AComponent, TOperation::opRemove);
  }
}
