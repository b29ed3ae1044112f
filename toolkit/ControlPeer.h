#pragma once

// The native control behind a toolkit control, as each windowing backend
// gives it: toolkit/qt/ControlPeer.cpp (Qt Widgets) and
// toolkit/windows/ui/ControlPeer.cpp (the system's own controls). A peer reports
// what the user does through its control's PeerChanged / PeerClicked (an
// edit's peer reports every change of its text, the program's too) and never
// decides a rule of its own: those are in toolkit/Controls.cpp.

#include <memory>
#include <string>
#include <vector>

#include "toolkit/FormDescription.h"

class TWinControl;
class TForm;

class TControlPeer {
 public:
  virtual ~TControlPeer() = default;
  // Relative to the parent's client area.
  virtual TBounds Bounds() const = 0;
  virtual void SetBounds(const TBounds& Value) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool Value) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool Value) = 0;
  virtual std::string Hint() const = 0;
  virtual void SetHint(const std::string& Value) = 0;
  virtual void SetColor(TColor Value) = 0;
  // A caption, an edit's text or the window's title. A label's peer sizes the
  // label to its caption.
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& Value) = 0;
};

class TSpinPeer : public virtual TControlPeer {
 public:
  virtual int Value() const = 0;
  virtual void SetValue(int Value) = 0;
};

class TComboPeer : public virtual TControlPeer {
 public:
  virtual int ItemCount() const = 0;
  virtual std::string Item(int Index) const = 0;
  virtual void InsertItem(int Index, const std::string& Text) = 0;
  virtual void DeleteItem(int Index) = 0;
  virtual int ItemIndex() const = 0;
  virtual void SetItemIndex(int Index) = 0;
  // Typed into, and the typed text not complete yet.
  virtual bool BeingTyped() const = 0;
  // The list is dropped down.
  virtual bool ListOpen() const = 0;
  // Text() is what the box shows; SetText shows a text with nothing picked.
};

class TFormPeer : public virtual TControlPeer {
 public:
  virtual void Show() = 0;
  virtual void Close() = 0;
  // The controls in the order the Tab key visits them: each group box, then
  // its own controls, the groups in their order.
  virtual void SetTabOrder(const std::vector<TWinControl*>& Chain) = 0;
};

// Per windowing backend.
std::unique_ptr<TFormPeer> CreateFormPeer(TForm& Form, const TFormDescription& Description);
std::unique_ptr<TControlPeer> CreateControlPeer(TWinControl& Control, TWinControl& Parent,
                                                const TControlDescription& Description);
