// An effect table of a test's own on one effect manager: effects load,
// change and go by id through `commands`, as the script commands do.
#pragma once

#include <memory>

#include "effect/zeEffectCommands.h"

struct TestEffectTable {
  explicit TestEffectTable(CZeEffectManager* manager)
      : table(ZeHandleTable<ZeEffectCell>::create(ZE_EFFECT_TABLE_SIZE)) {
    commands.table = table.get();
    commands.manager = manager;
  }
  std::unique_ptr<ZeHandleTable<ZeEffectCell>> table;
  SZeEffectCommandEnv commands;
};
