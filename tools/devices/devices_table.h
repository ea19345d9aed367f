// The device rows as text: a table in aligned columns for a console, or CSV for a spreadsheet.
#pragma once
#include <string>
#include <vector>

#include "device_rows.h"

// Titles, a dashed rule and one line per row; columns two spaces apart, padded to the widest
// cell (ANSI: one byte per character). Lines end in "\n".
std::string FormatTextTable(const std::vector<DeviceRow>& rows);
// Titles and rows separated by ";" (what a Russian-locale spreadsheet splits on), a field
// quoted when it holds ";", a quote or a line end; lines end in CR LF.
std::string FormatCsv(const std::vector<DeviceRow>& rows);
