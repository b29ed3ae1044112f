#pragma once

// The application object: title, the modal OK message box and the top-level
// exception handling.
//
// How a message box is shown is a seam: the window program installs the real
// dialog (toolkit/qt/MessageDialog.h); tests install a recorder. Without either,
// the text goes to standard error.

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

// Base of the toolkit's exception family: carries the message text.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
  std::string Message() const { return what(); }
};

// The silent exception: the top-level handler ignores it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

class TApplication {
 public:
  using TMessagePresenter =
      std::function<void(const std::string& Caption, const std::string& Text)>;
  using TExceptionHandler = std::function<void(std::exception_ptr)>;

  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& ATitle) { FTitle = ATitle; }

  // Modal OK box captioned with the title; returns when it was closed.
  void ShowMessage(const std::string& Text);

  // Replaces how message boxes are shown; returns the previous presenter.
  TMessagePresenter SetMessagePresenter(TMessagePresenter Presenter);

  // Top-level handling of an exception that reached the event loop: EAbort is
  // ignored; otherwise OnException if assigned, else the message in a box.
  void HandleException(std::exception_ptr E);
  TExceptionHandler OnException;

 private:
  std::string FTitle;
  TMessagePresenter FPresenter;
};

TApplication& Application();
