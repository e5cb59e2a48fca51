// Built only by the layering test, which expects it not to compile: power
// sits below schedule and must not see its headers.
#include "power/action.h"
#include "schedule/text.h"
