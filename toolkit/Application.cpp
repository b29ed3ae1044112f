#include "toolkit/Application.h"

#include <cstdio>

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::ShowMessage(const std::string& Text) {
  if (FPresenter) {
    // A copy: the presenter may be replaced while its box is open.
    const TMessagePresenter presenter = FPresenter;
    presenter(FTitle, Text);
  } else {
    std::fprintf(stderr, "%s: %s\n", FTitle.c_str(), Text.c_str());
  }
}

TApplication::TMessagePresenter TApplication::SetMessagePresenter(TMessagePresenter Presenter) {
  TMessagePresenter previous = std::move(FPresenter);
  FPresenter = std::move(Presenter);
  return previous;
}

void TApplication::HandleException(std::exception_ptr E) {
  if (!E) return;
  try {
    std::rethrow_exception(E);
  } catch (const EAbort&) {
    return;
  } catch (...) {
    if (OnException) {
      OnException(std::current_exception());
      return;
    }
  }
  try {
    std::rethrow_exception(E);
  } catch (const std::exception& e) {
    ShowMessage(e.what());
  } catch (...) {
    ShowMessage("Unknown error");
  }
}
