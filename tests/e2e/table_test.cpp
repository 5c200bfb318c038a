#include <gtest/gtest.h>

#include <xlsxwriter.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run_process.h"
#include "support/temp_home.h"
#include "support/zip_archive.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Debian's python3-xlwt belongs to the system's Python, whatever PATH says.
const char* const kDebianPython = "/usr/bin/python3";

class TableCommand : public ::testing::Test {
 protected:
  fs::path file(const std::string& name, const std::string& bytes) {
    const fs::path path = home.scratch() / name;
    test::writeFile(path, bytes);
    return path;
  }
  // The table as the command prints it, read back by an independent JSON parser.
  json table(const std::vector<std::string>& args) {
    const test::ProcessResult r = test::runProcess(KORVEX_EXE, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return json::parse(r.out, nullptr, false);
  }
  test::TempHome home;
};

json row(std::initializer_list<std::pair<const std::string, json>> values) {
  return json(json::object_t(values));
}

TEST_F(TableCommand, SemicolonTextWithQuotedRunsPaddingAndEncodings) {
  const std::string text =
      "Name; City ;;\r\n"
      "Anna;\"Ber;lin\";surplus\r\n"
      "Bob;\"say \"\"hi\"\"\"\r\n"
      "\r\n"
      "\"two\nlines\";x\r\n"
      "mid\"a;b\"c\r\n"
      "\r\n\r\n";
  const json rows = json::array({row({{"Name", "Anna"}, {"City", "Ber;lin"}}),
                                 row({{"Name", "Bob"}, {"City", "say \"hi\""}}),
                                 row({{"Name", ""}, {"City", ""}}),
                                 row({{"Name", "two\rlines"}, {"City", "x"}}),
                                 row({{"Name", "mida;bc"}, {"City", ""}})});
  json csv = table({"table", file("data.csv", text).string()});
  EXPECT_EQ(csv["keys"], json::array({"Name", "City"}));
  EXPECT_EQ(csv["rows"], rows);

  // Only a lower-case "csv" means semicolons: the same text in capitals is one column.
  json upper = table({"table", file("DATA.CSV", text).string()});
  EXPECT_EQ(upper["keys"], json::array({"Name; City ;;"}));

  // An unterminated quote takes the rest of the text into one field.
  json open = table({"table", file("open.csv", "A;B\n1;\"x\ny;z\n").string()});
  EXPECT_EQ(open["rows"], json::array({row({{"A", "1"}, {"B", "x\ry;z\r"}})}));

  // Not UTF-8: the first German marker byte decides the 8-bit encoding.
  json cp1252 = table({"table", file("w.txt", "Ort\tName\nM\xFCnchen\tJ\xE4ger\n").string()});
  EXPECT_EQ(cp1252["rows"], json::array({row({{"Ort", "München"}, {"Name", "Jäger"}})}));
  json macRoman = table({"table", file("m.txt", "Ort\n\x8A\xE4\n").string()});
  EXPECT_EQ(macRoman["rows"], json::array({row({{"Ort", "ä‰"}})}));

  // Two bytes get no quote processing: the quote stays.
  json tiny = table({"table", file("t.txt", "\"a").string()});
  EXPECT_EQ(tiny["keys"], json::array({"\"a"}));
}

TEST_F(TableCommand, XmlAndJsonFirstRecordNamesTheColumns) {
  json xml = table({"table", file("t.xml", "<root>\n  <h b=\"\" a10=\"\" a2=\"\"/>\n  <r a2=\"1\" b=\"x\"/>\n"
                                          "  <!-- not a record -->\n  <r b=\"y\"/>\n</root>\n")
                                     .string()});
  EXPECT_EQ(xml["keys"], json::array({"a2", "a10", "b"}));
  EXPECT_EQ(xml["rows"], json::array({row({{"a2", "1"}, {"b", "x"}}), row({{"b", "y"}})}));

  json one = table({"table", file("one.json", R"([{"id": 1, "name": "x"}])").string()});
  EXPECT_EQ(one["keys"], json::array({"id", "name"}));
  EXPECT_EQ(one["rows"], json::array());
  json typed = table({"table", file("two.json", R"([{"id": 0}, {"id": 7, "ok": true}])").string()});
  EXPECT_EQ(typed["rows"], json::array({row({{"id", 7}, {"ok", true}})}));

  const test::ProcessResult object = test::runProcess(KORVEX_EXE, {"table", file("o.json", R"({"a": 1})").string()});
  EXPECT_EQ(object.exitCode, 1);
  EXPECT_NE(object.err.find("o.json: not a JSON array of objects"), std::string::npos) << object.err;
  const test::ProcessResult missing = test::runProcess(KORVEX_EXE, {"table", (home.scratch() / "none.csv").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("none.csv: no such file"), std::string::npos) << missing.err;
}

TEST_F(TableCommand, KeyValueTables) {
  json kv = table({"table", "--kv", file("links.txt", "a;1\r\nb;2;extra\r\n\r\n\r\nb;3\r\nnofield\r\nK\xF6ln;\xDF\r\n").string()});
  EXPECT_EQ(kv["separator"], ";");
  EXPECT_EQ(kv["kv"], row({{"a", "1"}, {"b", "3"}, {"Köln", "ß"}}));
  json tabs = table({"table", "--kv", file("tabs.txt", "a\t1\nb;x\t2\n").string()});
  EXPECT_EQ(tabs["kv"], row({{"a", "1"}, {"b;x", "2"}}));
  json single = table({"table", "--kv", file("single.txt", "a;1").string()});
  EXPECT_EQ(single["kv"], json::object());
  json ended = table({"table", "--kv", file("ended.txt", "a;1\n").string()});
  EXPECT_EQ(ended["kv"], row({{"a", "1"}}));
}

// The cells every workbook test expects of the sheet "Daten": it starts at
// C3 (two empty rows and columns before it), has an empty row inside and
// trailing empty cells that don't count.
const json kWorkbookRows = json::array({
    row({{"Name", "Müller"}, {"Zahl", "1"}, {"Datum", "2024-05-01"}}),
    row({{"Name", ""}, {"Zahl", ""}, {"Datum", ""}}),
    row({{"Name", "zwei\rZeilen"}, {"Zahl", "2.5"}, {"Datum", "3"}}),
});

void writeXlsx(const fs::path& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* first = workbook_add_worksheet(book, "Erste");
  lxw_worksheet* data = workbook_add_worksheet(book, "Daten");
  lxw_format* date = workbook_add_format(book);
  format_set_num_format(date, "dd.mm.yyyy");
  worksheet_write_string(first, 0, 0, "Nur", nullptr);
  worksheet_write_string(data, 2, 2, "Name", nullptr);
  worksheet_write_string(data, 2, 3, "Zahl", nullptr);
  worksheet_write_string(data, 2, 4, "Datum", nullptr);
  worksheet_write_string(data, 3, 2, "Müller", nullptr);
  worksheet_write_number(data, 3, 3, 1, nullptr);
  lxw_datetime day = {2024, 5, 1, 0, 0, 0};
  worksheet_write_datetime(data, 3, 4, &day, date);
  worksheet_write_string(data, 5, 2, "zwei\nZeilen", nullptr);
  worksheet_write_number(data, 5, 3, 2.5, nullptr);
  worksheet_write_formula_num(data, 5, 4, "=1+2", nullptr, 3);
  worksheet_write_boolean(data, 7, 3, 1, nullptr);
  worksheet_write_blank(data, 9, 2, date);
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

TEST_F(TableCommand, XlsxSheetsCellsAndUsedRange) {
  const fs::path path = home.scratch() / "Kunden.XLSX";
  fs::create_directories(path.parent_path());
  writeXlsx(path);

  json first = table({"table", path.string()});
  EXPECT_EQ(first["sheets"], json::array({"Erste", "Daten"}));
  EXPECT_EQ(first["sheet"], "Erste");
  EXPECT_EQ(first["keys"], json::array({"Nur"}));

  json data = table({"table", path.string(), "--sheet", "Daten"});
  EXPECT_EQ(data["keys"], json::array({"Name", "Zahl", "Datum"}));
  json expected = kWorkbookRows;
  expected.push_back(row({{"Name", ""}, {"Zahl", ""}, {"Datum", ""}}));
  expected.push_back(row({{"Name", ""}, {"Zahl", "TRUE"}, {"Datum", ""}}));
  EXPECT_EQ(data["rows"], expected);

  const test::ProcessResult wrong = test::runProcess(KORVEX_EXE, {"table", path.string(), "--sheet", "Nein"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.err.find("no worksheet named 'Nein' (sheets: Erste, Daten)"), std::string::npos) << wrong.err;

  // A file that only claims to be a workbook is reported, not read as empty.
  const test::ProcessResult fake = test::runProcess(KORVEX_EXE, {"table", file("fake.xlsx", "Name\tZahl\n").string()});
  EXPECT_EQ(fake.exitCode, 1);
  EXPECT_NE(fake.err.find("fake.xlsx: not a workbook"), std::string::npos) << fake.err;
}

TEST_F(TableCommand, OdsAndXlsGiveTheSameCells) {
  const std::string cell = R"(<table:table-cell office:value-type="string"><text:p>)";
  const std::string content =
      R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2"><office:body><office:spreadsheet>
<table:table table:name="Erste"><table:table-row><table:table-cell office:value-type="string"><text:p>Nur</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="Daten">
<table:table-row table:number-rows-repeated="2"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
<table:table-row><table:table-cell table:number-columns-repeated="2"/>)" +
      cell + "Name</text:p></table:table-cell>" + cell + "Zahl</text:p></table:table-cell>" + cell +
      "Datum</text:p></table:table-cell></table:table-row>\n<table:table-row><table:table-cell "
      "table:number-columns-repeated=\"2\"/>" +
      cell +
      R"(Müller</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="1"><text:p>1,00</text:p></table:table-cell><table:table-cell office:value-type="date" office:date-value="2024-05-01"><text:p>01.05.24</text:p></table:table-cell></table:table-row>
<table:table-row/>
<table:table-row><table:table-cell table:number-columns-repeated="2"/>)" +
      cell +
      R"(zwei</text:p><text:p>Zeilen</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="2.5"><text:p>2,5</text:p></table:table-cell><table:table-cell table:formula="of:=1+2" office:value-type="float" office:value="3"><text:p>3</text:p></table:table-cell></table:table-row>
<table:table-row table:number-rows-repeated="1048570"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
</table:table></office:spreadsheet></office:body></office:document-content>)";
  const fs::path ods = home.scratch() / "Kunden.ods";
  fs::create_directories(ods.parent_path());
  test::writeZip(ods, {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}});
  json odsData = table({"table", ods.string(), "--sheet", "Daten"});
  EXPECT_EQ(odsData["sheets"], json::array({"Erste", "Daten"}));
  EXPECT_EQ(odsData["keys"], json::array({"Name", "Zahl", "Datum"}));
  EXPECT_EQ(odsData["rows"], kWorkbookRows);

  // .xls by the Python writer, when it is installed.
  if (test::runProcess(kDebianPython, {"-c", "import xlwt"}).exitCode != 0) GTEST_SKIP() << "python3-xlwt is missing";
  const fs::path xls = home.scratch() / "Kunden.xls";
  const std::string script =
      "import sys, datetime, xlwt\n"
      "b = xlwt.Workbook(encoding='utf-8')\n"
      "b.add_sheet('Erste').write(0, 0, 'Nur')\n"
      "s = b.add_sheet('Daten')\n"
      "d = xlwt.easyxf(num_format_str='DD.MM.YYYY')\n"
      "for c, v in enumerate(['Name', 'Zahl', 'Datum']): s.write(2, 2 + c, v)\n"
      "s.write(3, 2, 'M\\u00fcller'); s.write(3, 3, 1); s.write(3, 4, datetime.date(2024, 5, 1), d)\n"
      "s.write(5, 2, 'zwei\\nZeilen'); s.write(5, 3, 2.5); s.write(5, 4, xlwt.Formula('1+2'))\n"
      "b.save(sys.argv[1])\n";
  const test::ProcessResult made = test::runProcess(kDebianPython, {"-c", script, xls.string()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  json xlsData = table({"table", xls.string(), "--sheet", "Daten"});
  EXPECT_EQ(xlsData["sheets"], json::array({"Erste", "Daten"}));
  EXPECT_EQ(xlsData["keys"], json::array({"Name", "Zahl", "Datum"}));
  // xlwt writes no cached result for a formula: the cell is empty there.
  json expected = kWorkbookRows;
  expected[2]["Datum"] = "";
  EXPECT_EQ(xlsData["rows"], expected);

  // A damaged workbook on which FreeXL itself faults (found by fuzzing; the
  // fault shows under AddressSanitizer): one line naming the file, and the
  // command lives to say it.
  const fs::path damaged = home.scratch() / "damaged.xls";
  fs::copy_file(fs::path(KORVEX_SOURCE_DIR) / "tests/e2e/data/freexl-fault.xls", damaged);
  const test::ProcessResult refused = test::runProcess(KORVEX_EXE, {"table", damaged.string()});
  EXPECT_EQ(refused.exitCode, 1) << refused.err;
  EXPECT_EQ(refused.err.rfind("korvex: " + damaged.string() + ": ", 0), 0u) << refused.err;
  EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
}

}  // namespace
}  // namespace korvex
