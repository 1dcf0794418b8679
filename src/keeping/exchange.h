#pragma once

// The days in and out of the diary as CSV (RFC 4180, UTF-8, a header row of
// the file's column names, every column but ID) or JSON (an object holding
// `days`, objects keyed by column name, and `lists`, the four food and
// medication lists). Export, import into a new diary and export again give
// the same bytes.
//
// The one header callers include: the export, the import's plan and its
// write. The formats on bytes are in csvformat.h, jsonformat.h and
// utf8check.h.
#include "keeping/exchangecolumns.h"
#include "keeping/exportdays.h"
#include "keeping/importapply.h"
#include "keeping/importplan.h"
