#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/ResultTable.h"

namespace quellion {

// Writers of result rows for saving and printing. Stored text is raw 8-bit; every text
// written here is decoded first (UTF-8 where the bytes are valid UTF-8, Windows-1252
// otherwise), so the output is always valid UTF-8. Every format writes a row's whole
// address, with its scheme (FullAddress), so that it can be followed as it is.
enum class TExportFormat { Csv, Json, Html };

// The names of the engines that found a row, in finding order (its SearchEngine alone
// for a row that lists none).
std::vector<std::string> RowEngineNames(const TResultRecord& row);

// RFC 4180: a header line "index,engine,title,url,description,engines" (engines: the
// names of the engines that found the row, joined by ";"), then one record per row;
// lines end in CRLF; a field holding a comma, a double quote, CR or LF is enclosed in
// double quotes with its quotes doubled. No byte-order mark.
std::string ResultsToCsv(const std::vector<TResultRecord>& rows);

// One JSON array (no line end) of objects with the members index, engine, title, url,
// description and engines (an array of names in finding order): what
// `quellion-cli search --json` prints.
std::string ResultsToJson(const std::vector<TResultRecord>& rows);

// A small UTF-8 HTML page: the heading, then a numbered list of links (the whole address,
// titled by the row's title or, when it is empty, its address), each with the engines
// that found it (joined by ", ") and its description. Every text and attribute is escaped.
std::string ResultsToHtml(const std::vector<TResultRecord>& rows, std::string_view heading);

// The chosen writer; CSV and HTML end with their last line, JSON gains a line feed.
std::string ExportResults(const std::vector<TResultRecord>& rows, TExportFormat format,
                          std::string_view htmlHeading = "Tarnwick Quellion 2 results");

// The format a file name asks for by its suffix (.csv, .json, .html, .htm; letter case
// ignored); std::nullopt for any other name.
std::optional<TExportFormat> ExportFormatForFileName(std::string_view fileName);
// ".csv", ".json", ".html".
const char* ExportSuffix(TExportFormat format);

}  // namespace quellion
