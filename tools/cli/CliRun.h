// Runs one parsed ardel-cli command against the LAN and returns its exit status.
#pragma once

#include "tools/cli/CliOptions.h"

#include <QTextStream>

namespace ardel::cli {

int RunCommand(const Options &options, QTextStream &out, QTextStream &err);

} // namespace ardel::cli
