// The window as a Windows program, under Wine: its controls read back from the
// system's own controls, and the whole tool against the probe simulator on
// COM5 (WindowSuite.sh maps it to the simulator's line and says which probe
// runs there), driven as the technician drives it: a pick in the port list,
// text put into the fields, button clicks. Longer than most files: one
// fixture drives the whole window, and each test is one of the technician's
// tasks on it.

#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "serial/PortProblem.h"
#include "tests/support/Locale.h"
#include "tests/support/Wait.h"
#include "tests/support/windows/Wine.h"
#include "tests/ui/LayoutTable.h"
#include "toolkit/Application.h"
#include "toolkit/windows/ui/ControlPeer.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

namespace {

using namespace layout;

std::wstring Wide(const std::string& Text) {
  std::wstring wide(Text.size() + 1, L'\0');
  wide.resize(::MultiByteToWideChar(CP_UTF8, 0, Text.c_str(), -1, wide.data(),
                                    static_cast<int>(wide.size())) -
              1);
  return wide;
}

std::string Utf8(const std::wstring& Text) {
  std::string narrow(Text.size() * 3 + 1, '\0');
  narrow.resize(::WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), -1, narrow.data(),
                                      static_cast<int>(narrow.size()), nullptr, nullptr) -
                1);
  return narrow;
}

std::string TextOf(HWND Window) {
  std::wstring text(::GetWindowTextLengthW(Window) + 1, L'\0');
  text.resize(::GetWindowTextW(Window, text.data(), static_cast<int>(text.size())));
  return Utf8(text);
}

RECT RectIn(HWND Window, HWND Parent) {
  RECT r{};
  ::GetWindowRect(Window, &r);
  ::MapWindowPoints(HWND_DESKTOP, Parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool OwnStyle(HWND Window, LONG_PTR Style) {
  return (::GetWindowLongPtrW(Window, GWL_STYLE) & Style) != 0;
}

class WindowOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().SetTitle("KALMET Configuration");
    FPrevious = Application().SetMessagePresenter(
        [this](const std::string& Caption, const std::string& Text) {
          Captions.push_back(Caption);
          Messages.push_back(Text);
        });
    Form = std::make_unique<TForm1>();
    Form->Show();
  }
  void TearDown() override {
    Form.reset();
    Application().SetMessagePresenter(FPrevious);
  }

  HWND H(const TWinControl* Control) const { return WindowOf(*Control); }
  HWND H(const std::string& Name) const { return H(Form->Control<TWinControl>(Name)); }
  std::string Text(const TWinControl* Control) const { return TextOf(H(Control)); }

  // What a control's tooltip says, as the tooltip window has it.
  std::string TooltipText(HWND Control) const {
    HWND tip = TooltipOf(*Form);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = ::GetParent(Control);
    info.uId = reinterpret_cast<UINT_PTR>(Control);
    wchar_t text[512] = L"";
    info.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&info));
    return Utf8(text);
  }

  // --- the technician's doing -------------------------------------------------------------
  // Picks Name in a combo box's list, as a click in the drop-down list does.
  void Pick(const TComboBox* Combo, const std::string& Name) {
    HWND combo = H(Combo);
    const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(Wide(Name).c_str()));
    ASSERT_NE(index, CB_ERR) << Name << " is not in the list";
    ::SendMessageW(combo, CB_SETCURSEL, index, 0);
    ::SendMessageW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
  }
  // Replaces a field's whole text, as pasting over a selection does.
  void Paste(const TWinControl* Field, const std::string& Text) {
    HWND edit = H(Field);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Wide(Text).c_str()));
  }
  // Replaces a field's whole text by typing: select all, then a key at a time.
  void Type(const TWinControl* Field, const std::string& Text) {
    HWND edit = H(Field);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    for (const wchar_t c : Wide(Text)) ::SendMessageW(edit, WM_CHAR, c, 1);
  }
  void Click(const TButton* Button) { ::SendMessageW(H(Button), BM_CLICK, 0, 0); }
  bool WaitForStatus(const std::string& Status, int Milliseconds = 15000) {
    return WaitFor([&] { return Text(Form->Edit_Status) == Status; }, Milliseconds);
  }

  // The requests the simulator logged since the last call, without CR LF.
  std::vector<std::string> TakeRequests() {
    std::vector<std::string> requests;
    const char* log = std::getenv("KALMET_SIM_LOG");
    if (!log) return requests;
    std::ifstream in(std::string("Z:") + log);
    std::string line;
    std::size_t n = 0;
    while (std::getline(in, line)) {
      const std::size_t req = line.find(" REQ ");
      if (req == std::string::npos || n++ < FTaken) continue;
      std::string frame = line.substr(req + 5);
      requests.push_back(frame.substr(0, frame.size() - 4));  // the escaped CR LF
    }
    FTaken = n;
    return requests;
  }
  bool Marked(const TWinControl* Field) const { return Field->Color() == ModifiedColour; }

  std::unique_ptr<TForm1> Form;
  std::vector<std::string> Captions;
  std::vector<std::string> Messages;

 private:
  TApplication::TMessagePresenter FPrevious;
  std::size_t FTaken = 0;
};

using Requests = std::vector<std::string>;

// --- the layout, from the system's controls -------------------------------------------------

TEST_F(WindowOnWindows, EveryControlAsTheLayoutGivesIt) {
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.Name);
    HWND w = H(row.Name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(::GetParent(w), H(row.Group));
    const RECT r = RectIn(w, ::GetParent(w));
    EXPECT_EQ(r.left, row.X);
    EXPECT_EQ(r.top, row.Y);
    EXPECT_EQ(!OwnStyle(w, WS_VISIBLE), row.Hidden);
    EXPECT_EQ(OwnStyle(w, WS_DISABLED), row.Disabled);
    if (*row.Hint) {
      EXPECT_EQ(TooltipText(w), row.Hint);
    }
    EXPECT_EQ(Form->Control<TWinControl>(row.Name)->Hint(), row.Hint) << "labels show no hint";
    const int width = r.right - r.left, height = r.bottom - r.top;
    switch (row.What) {
      case Label:
      case ClickLabel:
        EXPECT_EQ(TextOf(w), row.Text);
        EXPECT_EQ(OwnStyle(w, SS_NOTIFY), row.What == ClickLabel);
        // Labels grow to their caption, never below the designed size.
        EXPECT_GE(width, row.W);
        EXPECT_GE(height, row.H);
        break;
      case Edit:
      case ReadOnlyEdit:
        EXPECT_EQ(OwnStyle(w, ES_READONLY), row.What == ReadOnlyEdit);
        EXPECT_EQ(TextOf(w), row.Text);
        EXPECT_EQ(width, row.Name == std::string("Edit_VersionNumber") ? 99 : row.W);
        EXPECT_EQ(height, row.H);
        break;
      case Spin: {
        EXPECT_EQ(TextOf(w), row.Text);
        // The edit and its buttons together take the designed room.
        const RECT buttons = RectIn(SpinButtonOf(*Form->SpinEdit_Address), ::GetParent(w));
        EXPECT_EQ(buttons.right - r.left, row.W);
        EXPECT_EQ(height, row.H);
        break;
      }
      case Combo:
        EXPECT_EQ(TextOf(w), row.Text);
        EXPECT_GE(width, row.W);
        EXPECT_LE(r.right, RectIn(::GetParent(w), ::GetParent(::GetParent(w))).right -
                               RectIn(::GetParent(w), ::GetParent(::GetParent(w))).left - 6);
        EXPECT_EQ(height, row.H);
        if (!UnderWine()) {  // Wine keeps the font's height for a plain combo box's items
          EXPECT_EQ(::SendMessageW(w, CB_GETITEMHEIGHT, 0, 0), 13) << "item height";
        }
        break;
      case Button:
        EXPECT_EQ(TextOf(w), row.Text);
        EXPECT_EQ(width, row.W);
        EXPECT_EQ(height, row.H);
        break;
    }
  }
  for (const GroupRow& row : kGroups) {
    SCOPED_TRACE(row.Name);
    HWND g = H(row.Name);
    EXPECT_EQ(::GetParent(g), H(Form.get()));
    const RECT r = RectIn(g, ::GetParent(g));
    EXPECT_EQ(r.left, row.X);
    EXPECT_EQ(r.top, row.Y);
    EXPECT_EQ(r.right - r.left, row.W);
    EXPECT_EQ(r.bottom - r.top, row.H);
    EXPECT_EQ(TextOf(g), row.Caption);
    EXPECT_EQ(OwnStyle(g, WS_VISIBLE), row.Visible);
    EXPECT_EQ(!OwnStyle(g, WS_DISABLED), row.Visible) << "the hidden groups are disabled too";
  }
}

TEST_F(WindowOnWindows, WindowCaptionSizeFontsAndTabOrder) {
  HWND form = H(Form.get());
  EXPECT_EQ(TextOf(form), "KALMET Configuration");
  RECT client{};
  ::GetClientRect(form, &client);
  EXPECT_EQ(client.right, 377);
  EXPECT_EQ(client.bottom, 353);
  EXPECT_FALSE(OwnStyle(form, WS_MAXIMIZEBOX));
  EXPECT_FALSE(OwnStyle(form, WS_THICKFRAME)) << "not resizable";
  EXPECT_TRUE(OwnStyle(form, WS_MINIMIZEBOX));
  EXPECT_NE(::SendMessageW(form, WM_GETICON, ICON_BIG, 0), 0) << "the program's icon";
  const auto font = [](HWND W) {
    LOGFONTW f{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(W, WM_GETFONT, 0, 0)), sizeof f, &f);
    return f;
  };
  EXPECT_EQ(font(H(Form->Edit_Status)).lfHeight, -11);
  EXPECT_EQ(std::wstring(font(H(Form->Edit_Status)).lfFaceName), L"MS Sans Serif");
  EXPECT_EQ(font(H(Form->LabelUnsupportedOrUnknownType)).lfHeight, -16);
  EXPECT_EQ(font(H(Form->LabelUnsupportedOrUnknownType)).lfWeight, FW_BOLD);
  EXPECT_TRUE(font(H(Form->LabelAbout)).lfUnderline);
  EXPECT_EQ(Text(Form->Label_TemperatureUnit), "°C");

  // Tab skips what is hidden or disabled: everything shown and enabled first.
  for (TWinControl* c : Form->Controls()) {
    c->SetVisible(true);
    c->SetEnabled(true);
  }
  for (std::size_t i = 0; i + 1 < kTabChain.size(); ++i)
    EXPECT_EQ(::GetNextDlgTabItem(form, H(kTabChain[i]), FALSE), H(kTabChain[i + 1]))
        << "after " << kTabChain[i];
}

// The system tells every top-level window when a device comes or goes; the
// list is read again then (here COM6, struck from it, is back).
TEST_F(WindowOnWindows, PortListFollowsTheDeviceNotices) {
  TComboBox* ports = Form->ComboBox_ComPort;
  ASSERT_GE(ports->IndexOf("COM6"), 0);
  ports->DeleteItem(ports->IndexOf("COM6"));
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND Window, LPARAM) {
        ::SendMessageW(Window, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
        return TRUE;
      },
      0);
  EXPECT_GE(ports->IndexOf("COM6"), 0);
  EXPECT_EQ(Text(ports), "select COM Port...") << "nothing picked meanwhile";
}

// A port of this machine that refuses connections: bound, never listening,
// so that nothing else takes it while the test runs.
class TRefusingPort {
 public:
  TRefusingPort() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    FSocket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (::bind(FSocket, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      FPort = ::ntohs(address.sin_port);
  }
  ~TRefusingPort() {
    ::closesocket(FSocket);
    ::WSACleanup();
  }
  TRefusingPort(const TRefusingPort&) = delete;
  TRefusingPort& operator=(const TRefusingPort&) = delete;
  int Port() const { return FPort; }

 private:
  SOCKET FSocket;
  int FPort = 0;
};

// An address typed into the port selector's edit part opens on Enter (which
// passes the form's dialog keys), not while it is typed; a server that
// refuses says so.
TEST_F(WindowOnWindows, ATypedAddressOpensOnEnter) {
  const TRefusingPort refusing;
  ASSERT_NE(refusing.Port(), 0);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(::GetComboBoxInfo(H(Form->ComboBox_ComPort), &info));
  HWND edit = info.hwndItem;
  ASSERT_FALSE(OwnStyle(edit, ES_READONLY));
  ::SetFocus(edit);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  for (const wchar_t c : L"rfc2217://127.0.0.1:" + std::to_wstring(refusing.Port()))
    ::SendMessageW(edit, WM_CHAR, c, 1);
  EXPECT_TRUE(Messages.empty()) << "opened while typing";
  ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 10000)) << "Enter did nothing";
  EXPECT_NE(Messages.front().find("The server refused the connection"), std::string::npos)
      << Messages.front();
  EXPECT_EQ(Text(Form->Edit_Status), "Please select correct COM port.");
}

// The probe through ser2net, at the address tests/wine/WindowSuite.sh gives.
TEST_F(WindowOnWindows, ATypedAddressIsReadThroughAServer) {
  const char* address = std::getenv("KALMET_SERVER_ADDRESS");
  if (!address) GTEST_SKIP() << "no server (tests/wine/WindowSuite.sh starts one)";
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(::GetComboBoxInfo(H(Form->ComboBox_ComPort), &info));
  ::SetFocus(info.hwndItem);
  ::SendMessageW(info.hwndItem, EM_SETSEL, 0, -1);
  for (const wchar_t c : Wide(address)) ::SendMessageW(info.hwndItem, WM_CHAR, c, 1);
  ::PostMessageW(info.hwndItem, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(WaitForStatus("Reading probe data done.")) << Text(Form->Edit_Status);
  EXPECT_EQ(TakeRequests(),
            (Requests{"S 0", "TXP40217VN4", "TXP40217CS", "TXP40217AD", "TXP40217OP", "TXP40217OW",
                      "TXP40217SL", "TXP40217IS", "TXP40217PL", "TXP40217PH", "TXP40217FS"}));
  EXPECT_EQ(Text(Form->GroupBox_ProbeData), " KALMET-RS-D ");
  EXPECT_EQ(Text(Form->ComboBox_ComPort), address);
  EXPECT_TRUE(Messages.empty()) << Messages.front();
}

// --- the whole tool against the simulator on COM5 ----------------------------------------------

// rs485-d behind an adapter that echoes every request.
TEST_F(WindowOnWindows, Rs485ProbeIsReadEditedWrittenAndReadAgain) {
  Pick(Form->ComboBox_ComPort, "COM5");
  ASSERT_TRUE(WaitForStatus("Reading probe data done.")) << Text(Form->Edit_Status);
  EXPECT_EQ(TakeRequests(),
            (Requests{"S 0", "TXP40217VN4", "TXP40217CS", "TXP40217AD", "TXP40217OP", "TXP40217OW",
                      "TXP40217SL", "TXP40217IS", "TXP40217PL", "TXP40217PH", "TXP40217FS"}));
  EXPECT_EQ(Text(Form->GroupBox_ProbeData), " KALMET-RS-D ");
  EXPECT_EQ(Text(Form->Edit_SerialNumber), "40217");
  EXPECT_EQ(Text(Form->Edit_VersionNumber), "V2.13_A5C3");
  EXPECT_EQ(Text(Form->Edit_Temperature), "21.5");
  EXPECT_EQ(Text(Form->Edit_Level1), "123.456");
  EXPECT_EQ(Text(Form->Edit_Level2), "234.567");
  EXPECT_EQ(Text(Form->SpinEdit_Address), "192");
  EXPECT_EQ(Text(Form->Edit_Offset1), "0.000");
  EXPECT_TRUE(::IsWindowVisible(H(Form->GroupBox_ConfigurationDataKALMET_RS485)));
  EXPECT_EQ(RectIn(H(Form->GroupBox_ConfigurationDataKALMET_RS485), H(Form.get())).left, 192);
  EXPECT_TRUE(::IsWindowEnabled(H(Form->Button_Read)));
  EXPECT_FALSE(::IsWindowEnabled(H(Form->Button_Write)));

  // Typed as the technician types, a key at a time: what is no number or
  // beyond the limit is put right inside the field's own change notice.
  Type(Form->Edit_Offset2, "x");
  EXPECT_EQ(Text(Form->Edit_Offset2), "0.000") << "the stored offset comes back";
  Paste(Form->Edit_Offset2, "20000");
  EXPECT_EQ(Text(Form->Edit_Offset2), "10000.000");
  Paste(Form->SpinEdit_Address, "201");
  {
    // The regional settings' comma, on screen and when typed; the wire keeps ".".
    ScopedNumericLocale comma(kCommaLocale);
    ASSERT_TRUE(comma.Ok());
    Form->RefreshDisplay();
    EXPECT_EQ(Text(Form->Edit_Level1), "123,456");
    Paste(Form->Edit_Offset1, "12,5");
    EXPECT_TRUE(Marked(Form->SpinEdit_Address));
    EXPECT_TRUE(Marked(Form->Edit_Offset1));
    ASSERT_TRUE(::IsWindowEnabled(H(Form->Button_Write)));
    Click(Form->Button_Write);
    ASSERT_TRUE(WaitForStatus("Writing probe data done.")) << Text(Form->Edit_Status);
  }
  EXPECT_EQ(TakeRequests(),
            (Requests{"RXP40217AD201", "RXP40217OP12.500", "RXP40217OW10000.000", "STP40217"}));
  EXPECT_FALSE(Marked(Form->SpinEdit_Address));

  Click(Form->Button_Read);
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  EXPECT_EQ(TakeRequests(), (Requests{"S 0", "TXP40217AD", "TXP40217OP", "TXP40217OW", "TXP40217SL",
                                      "TXP40217IS", "TXP40217PL", "TXP40217PH", "TXP40217FS"}));
  EXPECT_EQ(Text(Form->SpinEdit_Address), "201");
  EXPECT_EQ(Text(Form->Edit_Offset1), "12.500");
  EXPECT_TRUE(Messages.empty()) << Messages.front();
}

TEST_F(WindowOnWindows, CurrentLoopProbeIsWrittenAndReleasedWhenTheWindowCloses) {
  Pick(Form->ComboBox_ComPort, "COM5");
  ASSERT_TRUE(WaitForStatus("Reading probe data done.")) << Text(Form->Edit_Status);
  TakeRequests();
  EXPECT_EQ(Text(Form->GroupBox_ProbeData), " KALMET-C ");
  EXPECT_EQ(Text(Form->Edit_Level), "1250.25");
  EXPECT_EQ(Text(Form->Edit_Current), "12.000");
  EXPECT_EQ(Text(Form->Edit_LevelAt4mA), "100.00");
  EXPECT_EQ(Text(Form->Edit_LevelAt20mA), "2400.00");
  EXPECT_EQ(Text(Form->ComboBox_AlarmCurrent), "21,5 mA");

  Paste(Form->Edit_LevelAt4mA, "250");
  Paste(Form->Edit_LevelAt20mA, "2000.5");
  Pick(Form->ComboBox_AlarmCurrent, "  3,6 mA");
  Click(Form->Button_Write);
  ASSERT_TRUE(WaitForStatus("Writing probe data done.")) << Text(Form->Edit_Status);
  EXPECT_EQ(TakeRequests(),
            (Requests{"RXP51234PL250.000", "RXP51234PH2000.500", "RXP51234FS1", "STP51234"}));
  for (const TWinControl* w : std::initializer_list<const TWinControl*>{
           Form->Edit_LevelAt4mA, Form->Edit_LevelAt20mA, Form->ComboBox_AlarmCurrent}) {
    EXPECT_FALSE(Marked(w));
    EXPECT_TRUE(::IsWindowEnabled(H(w)));
  }

  Click(Form->Button_Read);
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  TakeRequests();
  EXPECT_EQ(Text(Form->Edit_LevelAt4mA), "250.00");
  EXPECT_EQ(Text(Form->Edit_LevelAt20mA), "2000.50");
  EXPECT_EQ(Text(Form->ComboBox_AlarmCurrent), "  3,6 mA");

  ::SendMessageW(H(Form.get()), WM_CLOSE, 0, 0);
  Requests released;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (const std::string& r : TakeRequests()) released.push_back(r);
        return !released.empty();
      },
      5000));
  EXPECT_EQ(released, Requests{"RXP51234IS"}) << "the loop released as the window closed";
  EXPECT_TRUE(Messages.empty()) << Messages.front();
}

// The simulator's line goes away after the fourth request and comes back
// 13 s later: the port stays listed meanwhile, and is tried until it opens.
TEST_F(WindowOnWindows, UnpluggedPortIsReportedAndOpenedAgainWhenBack) {
  Pick(Form->ComboBox_ComPort, "COM5");
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 15000)) << Text(Form->Edit_Status);
  EXPECT_EQ(Captions.front(), "KALMET Configuration");
  EXPECT_EQ(Messages.front(),
            std::string("The selected COM Port is not available!\r\n\r\n") + kPortUnpluggedReason);
  EXPECT_EQ(Text(Form->Edit_Status), "Please select correct COM port.");
  EXPECT_FALSE(OwnStyle(H(Form->Edit_TxIndicator), WS_VISIBLE));
  ASSERT_TRUE(WaitForStatus("Reading probe data done.", 30000)) << Text(Form->Edit_Status);
  EXPECT_EQ(Text(Form->ComboBox_ComPort), "COM5");
  EXPECT_EQ(Messages.size(), 1u) << "reopened quietly";
}

}  // namespace
