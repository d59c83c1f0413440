// SPDX-License-Identifier: MIT
// dezov sync: keeps configuration files equal to etcd keys.
#ifndef DEZOV_SYNC_SYNC_COMMAND_H
#define DEZOV_SYNC_SYNC_COMMAND_H

#include <CLI/CLI.hpp>

#include "Session.h"

namespace dezov {
namespace tool {

// dezov sync [OPTIONS] KEY FILE | --prefix PREFIX DIR: the sync agent.
void AddSyncCommand(CLI::App& app, Session& session);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_SYNC_SYNC_COMMAND_H
