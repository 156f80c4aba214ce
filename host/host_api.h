#pragma once

// Marks what the host framework library exports to plug-ins; everything else stays hidden.
#define TW_HOST_API __attribute__((visibility("default")))
