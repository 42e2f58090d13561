// Notice text every bundle but the first-generation sample bundle carries.
#include "mp_sdk_common.h"

extern "C++" MP_EXPORT const char CopyrightString[];
const char CopyrightString[] =
    "Module collection for the modular audio host: panel controls, signal processing, breakpoint shapes "
    "and sample modules. Copyright (c) 2026 the authors of the module collection. All rights reserved. "
    "It is provided as is, without warranty of any kind.";
