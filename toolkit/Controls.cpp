#include "toolkit/Controls.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

#include "toolkit/ControlPeer.h"

namespace {

int CompareIgnoringCase(std::string_view A, std::string_view B) {
  const std::size_t n = std::min(A.size(), B.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int a = std::tolower(static_cast<unsigned char>(A[i]));
    const int b = std::tolower(static_cast<unsigned char>(B[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}

}  // namespace

// --- every control ---------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner, TWinControl* AParent)
    : TControl(AOwner), FParent(AParent) {}

TWinControl::~TWinControl() {
  // Siblings that show on this control (the line-activity indicators) let go
  // of it before its native control goes.
  NotifyRemoval();
}

void TWinControl::AttachPeer(std::unique_ptr<TControlPeer> Peer) {
  FPeer = std::move(Peer);
}

TBounds TWinControl::Bounds() const {
  return FPeer->Bounds();
}
void TWinControl::SetBounds(const TBounds& Value) {
  FPeer->SetBounds(Value);
}
void TWinControl::SetPosition(int Left, int Top) {
  TBounds b = Bounds();
  b.Left = Left;
  b.Top = Top;
  SetBounds(b);
}
bool TWinControl::Visible() const {
  return FPeer->Visible();
}
void TWinControl::SetVisible(bool Value) {
  FPeer->SetVisible(Value);
}
bool TWinControl::Enabled() const {
  return FPeer->Enabled();
}
void TWinControl::SetEnabled(bool Value) {
  FPeer->SetEnabled(Value);
}
std::string TWinControl::Hint() const {
  return FPeer->Hint();
}
void TWinControl::SetHint(const std::string& Value) {
  FPeer->SetHint(Value);
}
void TWinControl::SetColor(TColor Value) {
  FColor = Value;
  FPeer->SetColor(Value);
}

// --- group box, label, button ---------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D)
    : TWinControl(AOwner, AParent) {
  AttachPeer(CreateControlPeer(*this, *AParent, D));
}
std::string TGroupBox::Caption() const {
  return Peer().Text();
}
void TGroupBox::SetCaption(const std::string& Value) {
  Peer().SetText(Value);
}

TLabel::TLabel(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D)
    : TWinControl(AOwner, AParent) {
  AttachPeer(CreateControlPeer(*this, *AParent, D));
}
std::string TLabel::Caption() const {
  return Peer().Text();
}
void TLabel::SetCaption(const std::string& Value) {
  Peer().SetText(Value);
}
void TLabel::PeerClicked() {
  if (OnClick) OnClick();
}

TButton::TButton(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D)
    : TWinControl(AOwner, AParent) {
  AttachPeer(CreateControlPeer(*this, *AParent, D));
}
std::string TButton::Caption() const {
  return Peer().Text();
}
void TButton::SetCaption(const std::string& Value) {
  Peer().SetText(Value);
}
void TButton::PeerClicked() {
  if (OnClick) OnClick();
}

// --- edit -----------------------------------------------------------------------------------

TEdit::TEdit(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D)
    : TWinControl(AOwner, AParent), FShownText(D.Text) {
  AttachPeer(CreateControlPeer(*this, *AParent, D));
  if (D.Color != clDefault) SetColor(D.Color);
}

std::string TEdit::Text() const {
  return Peer().Text();
}

void TEdit::SetText(const std::string& Value) {
  if (Value == Text()) return;
  Peer().SetText(Value);
  // A backend that reported the change has run OnChange already.
  PeerChanged();
}

void TEdit::PeerChanged() {
  std::string text = Text();
  if (text == FShownText) return;
  FShownText = std::move(text);
  if (OnChange) OnChange();
}

// --- spin edit ------------------------------------------------------------------------------

TSpinEdit::TSpinEdit(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D)
    : TWinControl(AOwner, AParent), FMin(D.MinValue), FMax(D.MaxValue), FShownValue(0) {
  AttachPeer(CreateControlPeer(*this, *AParent, D));
  FShownValue = Value();
}

TSpinPeer& TSpinEdit::Spin() const {
  return dynamic_cast<TSpinPeer&>(Peer());
}

int TSpinEdit::Value() const {
  return Spin().Value();
}

void TSpinEdit::SetValue(int Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == this->Value()) return;
  Spin().SetValue(Value);
  PeerChanged();
}

void TSpinEdit::PeerChanged() {
  const int value = Value();
  if (value == FShownValue) return;
  FShownValue = value;
  if (OnChange) OnChange();
}

// --- combo box ------------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner, TWinControl* AParent, const TControlDescription& D)
    : TWinControl(AOwner, AParent), FSorted(D.Sorted) {
  AttachPeer(CreateControlPeer(*this, *AParent, D));
  std::string_view items = D.Items;
  while (!items.empty()) {
    const std::size_t end = items.find('\n');
    AddItem(std::string(items.substr(0, end)));
    items = end == std::string_view::npos ? std::string_view() : items.substr(end + 1);
  }
  if (*D.Text) SetText(D.Text);
}

TComboPeer& TComboBox::Combo() const {
  return dynamic_cast<TComboPeer&>(Peer());
}

int TComboBox::ItemCount() const {
  return Combo().ItemCount();
}

std::string TComboBox::Item(int Index) const {
  return Combo().Item(Index);
}

int TComboBox::IndexOf(const std::string& Text) const {
  for (int i = 0; i < ItemCount(); ++i)
    if (Item(i) == Text) return i;
  return -1;
}

void TComboBox::AddItem(const std::string& Text) {
  int at = ItemCount();
  if (FSorted) {
    at = 0;
    while (at < ItemCount() && CompareIgnoringCase(Item(at), Text) <= 0) ++at;
  }
  Combo().InsertItem(at, Text);
}

void TComboBox::DeleteItem(int Index) {
  Combo().DeleteItem(Index);
}

int TComboBox::ItemIndex() const {
  return Combo().ItemIndex();
}

bool TComboBox::BeingTyped() const {
  return Combo().BeingTyped();
}

bool TComboBox::ListOpen() const {
  return Combo().ListOpen();
}

void TComboBox::SetItemIndex(int Index) {
  Combo().SetItemIndex(Index);
}

std::string TComboBox::Text() const {
  return Combo().Text();
}

void TComboBox::SetText(const std::string& Value) {
  const int index = IndexOf(Value);
  if (index >= 0)
    SetItemIndex(index);
  else
    Combo().SetText(Value);
}

void TComboBox::PeerChanged() {
  if (OnChange) OnChange();
}

void TComboBox::PeerTyped() {
  if (OnTyped) OnTyped();
}

// --- form -----------------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner, nullptr) {}

TForm::~TForm() {
  // The controls (and whatever else the form owns) go before the window.
  DestroyComponents();
}

TFormPeer& TForm::FormPeer() const {
  return dynamic_cast<TFormPeer&>(Peer());
}

void TForm::Build(const TFormDescription& Description) {
  SetName(Description.Name);
  AttachPeer(CreateFormPeer(*this, Description));
  std::map<std::string, TWinControl*, std::less<>> byName;
  for (int i = 0; i < Description.ControlCount; ++i) {
    const TControlDescription& d = Description.Controls[i];
    TWinControl* parent = *d.Parent ? byName.at(d.Parent) : this;
    TWinControl* control = nullptr;
    switch (d.Kind) {
      case TControlKind::GroupBox:
        control = new TGroupBox(this, parent, d);
        break;
      case TControlKind::Label:
        control = new TLabel(this, parent, d);
        break;
      case TControlKind::Edit:
        control = new TEdit(this, parent, d);
        break;
      case TControlKind::SpinEdit:
        control = new TSpinEdit(this, parent, d);
        break;
      case TControlKind::ComboBox:
        control = new TComboBox(this, parent, d);
        break;
      case TControlKind::Button:
        control = new TButton(this, parent, d);
        break;
    }
    control->SetName(d.Name);
    byName.emplace(d.Name, control);
    FControls.push_back(control);
  }
  // The Tab key's order: the form's own controls by their tab order, each
  // group followed by its controls by theirs.
  const auto ordered = [&](const TWinControl* Parent) {
    std::vector<std::pair<int, int>> order;  // tab order, index in the description
    for (int i = 0; i < Description.ControlCount; ++i) {
      const TControlDescription& d = Description.Controls[i];
      if ((*d.Parent ? byName.at(d.Parent) : this) == Parent && d.TabOrder >= 0)
        order.emplace_back(d.TabOrder, i);
    }
    std::sort(order.begin(), order.end());
    return order;
  };
  std::vector<TWinControl*> chain;
  for (const auto& [tab, i] : ordered(this)) {
    TWinControl* top = FControls[i];
    chain.push_back(top);
    for (const auto& [inner, j] : ordered(top)) chain.push_back(FControls[j]);
  }
  FormPeer().SetTabOrder(chain);
}

std::string TForm::Caption() const {
  return Peer().Text();
}

void TForm::SetCaption(const std::string& Value) {
  Peer().SetText(Value);
}

void TForm::Show() {
  FormPeer().Show();
}

void TForm::Close() {
  FormPeer().Close();
}

void TForm::PeerClosing() {
  if (OnClose) OnClose();
}
