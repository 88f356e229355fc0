// Includes itself.
#include "self.fxh"
