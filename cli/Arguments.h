#pragma once

// The command line of kalmet-cli. Each command declares its options on a
// sub-command of the parser and reads its own values from it (one file per
// command); kalmet_cli.cpp holds only the table of commands.

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "cli/Command.h"

class TArguments {
 public:
  virtual ~TArguments() = default;
  // Its options and positional arguments, on its own sub-command.
  virtual void Declare(CLI::App& Command) = 0;
  // After parsing: what is wrong with the values given (empty when nothing).
  virtual std::string Check() = 0;
  // Runs the command with them; the exit code.
  virtual int Run(TCommandContext& Context) = 0;
};

std::unique_ptr<TArguments> PortsArguments();  // PortsCommand.cpp
std::unique_ptr<TArguments> ReadArguments();   // ReadCommand.cpp
std::unique_ptr<TArguments> WriteArguments();  // WriteCommand.cpp

// What read and write share: the port, --json, --quiet, --timeout, --record.
class TProbeArguments : public TArguments {
 public:
  void Declare(CLI::App& Command) override;
  std::string Check() override;

 protected:
  // The context of a probe command: progress unless --quiet.
  TCommandContext& Prepared(TCommandContext& Context) const;

  TCommonOptions Options;

 private:
  std::string FTimeout = "10";
  bool FQuiet = false;
};

// A whole number, all of Text; nullopt otherwise.
std::optional<int> WholeNumber(const std::string& Text);
