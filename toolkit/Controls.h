#pragma once

// The window's controls: form, group box, label, edit, spin edit, combo box
// and button. A form is built from its description (toolkit/FormDescription.h);
// each control is a component of the form that works on a native control of
// the windowing system behind it (toolkit/ControlPeer.h): Qt Widgets on Linux
// (toolkit/qt/), the system's own controls on Windows (toolkit/windows/).
//
// The rules that both systems keep live here, not in the backends:
//  - an edit's OnChange runs on every change of its text, also one made by
//    the program, but not when the text stays the same; a spin edit's
//    likewise on every change of its value;
//  - a combo box's OnChange runs when the user picks an item, never for what
//    the program does to it; a sorted combo box inserts each item at its
//    place (case-insensitive), and the picked item stays picked.
// Texts are UTF-8.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/FormDescription.h"

class TControlPeer;
class TComboPeer;
class TSpinPeer;
class TFormPeer;

class TWinControl : public TControl {
 public:
  ~TWinControl() override;

  TWinControl* Parent() const { return FParent; }

  TBounds Bounds() const;
  void SetBounds(const TBounds& Value);
  void SetPosition(int Left, int Top);
  bool Visible() const;
  void SetVisible(bool Value);
  // The control's own state: a control in a disabled group is not
  // reachable, but keeps its own state for when the group is enabled.
  bool Enabled() const;
  void SetEnabled(bool Value);
  std::string Hint() const;
  void SetHint(const std::string& Value);
  TColor Color() const override { return FColor; }
  void SetColor(TColor Value) override;

  TControlPeer& Peer() const { return *FPeer; }

  // From the backend: the user (or, for edits, anyone) changed the control's
  // text, value or pick; the user clicked it.
  virtual void PeerChanged() {}
  virtual void PeerClicked() {}
  // From the backend: the user typed a text into a combo box's edit part and
  // pressed Enter or left the box.
  virtual void PeerTyped() {}

 protected:
  TWinControl(TComponent* AOwner, TWinControl* AParent);
  void AttachPeer(std::unique_ptr<TControlPeer> Peer);

 private:
  TWinControl* FParent;
  std::unique_ptr<TControlPeer> FPeer;
  TColor FColor = clDefault;
};

class TGroupBox : public TWinControl {
 public:
  TGroupBox(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D);
  std::string Caption() const;
  void SetCaption(const std::string& Value);
};

class TLabel : public TWinControl {
 public:
  TLabel(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D);
  std::string Caption() const;
  // The label grows beyond its designed size where the caption needs it.
  void SetCaption(const std::string& Value);
  std::function<void()> OnClick;
  void PeerClicked() override;
};

class TEdit : public TWinControl {
 public:
  TEdit(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D);
  std::string Text() const;
  void SetText(const std::string& Value);
  std::function<void()> OnChange;
  void PeerChanged() override;

 private:
  std::string FShownText;  // the text OnChange last ran for
};

class TSpinEdit : public TWinControl {
 public:
  // A held button steps once, then again after kRepeatDelayMs and every
  // kRepeatIntervalMs while it stays held.
  static constexpr int kRepeatDelayMs = 500;
  static constexpr int kRepeatIntervalMs = 200;
  TSpinEdit(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D);
  int Value() const;
  // Kept within MinValue and MaxValue.
  void SetValue(int Value);
  int MinValue() const { return FMin; }
  int MaxValue() const { return FMax; }
  std::function<void()> OnChange;
  void PeerChanged() override;

 private:
  TSpinPeer& Spin() const;
  int FMin, FMax;
  int FShownValue;
};

class TComboBox : public TWinControl {
 public:
  TComboBox(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D);
  int ItemCount() const;
  std::string Item(int Index) const;
  int IndexOf(const std::string& Text) const;  // -1: not in the list
  // At its sorted place when sorted, else at the end.
  void AddItem(const std::string& Text);
  // The picked item deleted, nothing is picked.
  void DeleteItem(int Index);
  int ItemIndex() const;  // -1: nothing picked
  void SetItemIndex(int Index);
  // The picked item's text, or what the box shows while nothing is picked.
  std::string Text() const;
  // Picks the item with that text, or shows it with nothing picked.
  void SetText(const std::string& Value);
  bool Sorted() const { return FSorted; }
  // The user's pick from the list.
  std::function<void()> OnChange;
  // A text the user typed into the edit part, once it is complete: on Enter
  // or when the box loses the focus, not at each keystroke. Text() gives it.
  std::function<void()> OnTyped;
  // The user is typing: a text typed and not complete yet.
  bool BeingTyped() const;
  // The user looks through its dropped-down list.
  bool ListOpen() const;
  void PeerChanged() override;
  void PeerTyped() override;

 private:
  TComboPeer& Combo() const;
  bool FSorted;
};

class TButton : public TWinControl {
 public:
  TButton(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D);
  std::string Caption() const;
  void SetCaption(const std::string& Value);
  std::function<void()> OnClick;
  void PeerClicked() override;
};

// The window. Its controls are its components, made by Build in the order
// of the description and found by name with Control<T>.
class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* AOwner = nullptr);
  ~TForm() override;

  void Build(const TFormDescription& Description);
  template <typename T>
  T* Control(const std::string& Name) const {
    for (TWinControl* c : FControls)
      if (c->Name() == Name)
        if (auto* control = dynamic_cast<T*>(c)) return control;
    throw std::logic_error("the form has no control " + Name + " of that kind");
  }
  const std::vector<TWinControl*>& Controls() const { return FControls; }

  std::string Caption() const;
  void SetCaption(const std::string& Value);
  // The first time centred on the screen.
  void Show();
  // As the user's close: OnClose runs, then the window goes.
  void Close();
  std::function<void()> OnClose;

  TFormPeer& FormPeer() const;
  // From the backend: the window is about to close.
  void PeerClosing();

 private:
  std::vector<TWinControl*> FControls;
};
