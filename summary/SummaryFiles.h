#pragma once

#include <string>
#include <vector>

#include "summary/SummaryTables.h"

// The files of a fleet's summary, written from its tables: "Summary.html"
// and one table for spreadsheets each. Every text is escaped here, at the
// last step, for the format it goes into.

struct SummaryPageFacts {
    std::string folder;  // the summary's folder, as given
    std::string made;    // "YYYY-MM-DD HH:MM:SS"
    // Where the page lies elsewhere than the folder (/out): the folder's
    // URL, which the links to the sets are relative to; empty otherwise.
    std::string base;
};

// HTML 4.01 with CSS 2.1 and no script, in UTF-8.
std::string SummaryPage(const SummaryTables& tables, const SummaryPageFacts& facts);

// The tables for spreadsheets: UTF-16LE with its byte-order mark, cells
// separated by tabs, rows ending in CR LF. Excel, from 2000 on, opens such
// a file by a double-click as a table with every script's characters intact,
// whatever the system's code page; it ignores the mark of a UTF-8 file.
std::string ServersSheet(const SummaryTables& tables);
std::string UsersSheet(const SummaryTables& tables);
std::string ApplicationsSheet(const SummaryTables& tables);
std::string FailuresSheet(const SummaryTables& tables);

// The pieces, for the tests.

// Text as HTML character data or attribute value: & < > " ' as references;
// bytes that are no UTF-8 and control characters but tab, CR and LF as
// U+FFFD, since a browser may read a broken sequence together with the
// markup after it.
std::string HtmlText(const std::string& utf8);

// A folder's path below the page as a relative URL: each part
// percent-encoded but for letters, digits and - . _ ~, joined by "/", with
// a "/" at its end; "./" for the page's own folder.
std::string FolderUrl(const std::vector<std::string>& parts);

// The file URL of a full path ("C:\x" or "\\srv\share\x"), ending in "/".
std::string FileUrl(const std::string& path);

// A cell of a sheet, still UTF-8: tab, CR and LF become blanks; a text that
// begins (after blanks) with = + - @, a tab or a CR gets a ' in front, so
// that no spreadsheet takes it for a formula; a cell holding " is quoted.
std::string SheetCell(const std::string& utf8);

// UTF-8 to UTF-16LE after its byte-order mark; what is no UTF-8 becomes U+FFFD.
std::string Utf16LeFile(const std::string& utf8);
