// "zarn-hlslc -effect FILE [-D NAME[=VALUE]]... [-I FOLDER]...": loads an
// effect's definition, lists what it declares and compiles every pass.
#pragma once

int zeEffectCheckMain(int argc, char** argv);
