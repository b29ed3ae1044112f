#pragma once

// Component base: owner, name, loading state and the two notifications that
// components rely on.
//
// A component created with an owner is inserted into the owner's list and is
// destroyed by it (last created first). Whenever a component goes away, its
// owner and the owner's other components receive Notification(it, opRemove),
// so that a component referring to a sibling can drop the reference.
//
// Building a component tree in the order of a form description:
//   owner.BeginLoading();
//   create the components (they start in loading state, as their owner is loading),
//   set their properties and handlers,
//   owner.EndLoading();   // Loaded() on each component in creation order, then on the owner

#include <string>
#include <vector>

#include "toolkit/Events.h"

enum class TOperation { opInsert, opRemove };

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  void SetName(const std::string& AName) { FName = AName; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int Index) const { return FComponents.at(Index); }

  // True between BeginLoading and the loaded notification.
  bool Loading() const { return FLoading; }

  void BeginLoading();
  void EndLoading();

 protected:
  // The loaded notification: the owner's description has been applied.
  virtual void Loaded();
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // Sends the removal notification now, while the derived part is still
  // intact. Destructors of components that siblings hook into call it first;
  // otherwise the base destructor sends it. Runs once.
  void NotifyRemoval();

  // Destroys the owned components, the last created first. The base
  // destructor does it too; an owner whose own members are used by its
  // components calls it at the start of its destructor.
  void DestroyComponents();

 private:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  TComponent* FOwner;
  std::string FName;
  std::vector<TComponent*> FComponents;
  bool FLoading = false;
  bool FRemoved = false;
};
