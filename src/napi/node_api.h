// The one place that includes the Node-API headers. Only types and macros are
// used from them: every function is called through the binding table.
#pragma once

#include <node_api.h>
