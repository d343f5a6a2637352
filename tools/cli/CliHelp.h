#pragma once
// The help of saldomat-cli in its three forms: "--help", "help COMMAND" (or
// "COMMAND --help") and the manual page, all from the same texts.

#include "Cli.h"

#include <vector>

QString CliUsageLine();
QString CliHelpText(const std::vector<const CliCommand *> &commands);
QString CliCommandHelp(const CliCommand &command);
// roff for man(1), section 1.
QString CliManPage(const std::vector<const CliCommand *> &commands);
